#include "app/log_writer.h"

#include <cstdio>
#include <cstring>

#include "platform/win32.h"

namespace {

void Copy_Text(char* dest, int dest_size, const char* src) {
    std::snprintf(dest, static_cast<size_t>(dest_size), "%s", src ? src : "");
}

}  // namespace

void Log_Date_Time_Stamp(char* out, int out_size) {
    SYSTEMTIME t;
    GetSystemTime(&t);
    std::snprintf(out, static_cast<size_t>(out_size), "|DATE=%u-%u-%u| |TIME=%u:%u:%u:%u| (GMT+0)",
                  t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

void Log_Line_Stamp(char* out, int out_size) {
    SYSTEMTIME t;
    GetSystemTime(&t);
    std::snprintf(out, static_cast<size_t>(out_size), " |%u:%u:%u:%u| ", t.wHour, t.wMinute,
                  t.wSecond, t.wMilliseconds);
}

Main_Log_Writer::Main_Log_Writer(const char* file_name) {
    Open_Stamp[0] = Line_Stamp[0] = Directory[0] = Full_Path[0] = '\0';
    Copy_Text(File_Name, sizeof File_Name,
              (file_name && file_name[0]) ? file_name : "DefaultLog.txt");
}

Main_Log_Writer::~Main_Log_Writer() = default;

void Main_Log_Writer::Set_Directory(const char* directory) {
    Copy_Text(Directory, sizeof Directory, directory);
}

bool Main_Log_Writer::Open() {
    // A path that does not fit is refused rather than cut: a cut path could name
    // some other file. The writer then stays without a file, like a failed open.
    // An empty directory is what a working directory too long for the caller's
    // buffer leaves; it is refused the same way, or the log would land at the
    // root of the file system.
    char path[sizeof Directory + sizeof File_Name + 2];
    std::snprintf(path, sizeof path, "%s\\%s", Directory, File_Name);
    if (Directory[0] == '\0' || std::strlen(path) >= sizeof Full_Path) {
        Full_Path[0] = '\0';
        return true;
    }

    char header[1100];
    Log_Date_Time_Stamp(Open_Stamp, sizeof Open_Stamp);
    std::snprintf(header, sizeof header, "Лог открыт: %s", Open_Stamp);

    FILE* file = Open_File(path, "w+t");
    if (file) {
        std::fputs("[Quillmoor]", file);
        std::fputs(
            "/////////////////////////////////[Файл лога]/////////////////////////////////////",
            file);
        std::fputs("\n", file);
        std::fputs(header, file);
        std::fputs("\n", file);
        for (int i = 0; i < 90; ++i) std::fputc('/', file);
        std::fputs("\n", file);
        std::fclose(file);
    }
    Copy_Text(Full_Path, sizeof Full_Path, path);
    return true;
}

bool Main_Log_Writer::Write_Line(const char* text) {
    if (Full_Path[0] == '\0') return false;  // not opened yet

    Log_Line_Stamp(Line_Stamp, sizeof Line_Stamp);
    // One line holds at most 1023 characters; a longer message is cut to fit.
    char line[1024];
    std::snprintf(line, sizeof line, "%s%s", Line_Stamp, text ? text : "");

    FILE* file = Open_File(Full_Path, "a+");
    if (!file) return false;
    std::fputs(line, file);
    std::fputs("\n", file);
    std::fclose(file);
    return true;
}
