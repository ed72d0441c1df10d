// Main_Log_Writer: one plain-text log file, opened afresh with a header and
// appended to one stamped line at a time. Every line is handed to the system
// before Write_Line returns, so a log is complete up to its last line even if
// the process dies.
#pragma once

#include <cstdio>

class Main_Log_Writer {
public:
    explicit Main_Log_Writer(const char* file_name);
    virtual ~Main_Log_Writer();
    Main_Log_Writer(const Main_Log_Writer&) = delete;
    Main_Log_Writer& operator=(const Main_Log_Writer&) = delete;

    void Set_Directory(const char* directory);
    bool Open();
    bool Write_Line(const char* text);

    char Open_Stamp[1024];
    char Line_Stamp[1024];
    char Directory[1024];
    char File_Name[1024];
    char Full_Path[256];  // at most 255 characters of text

private:
    // The file Write_Line appends to, opened by its first call after Open and
    // kept: opening and closing it for each line was most of what writing a
    // line cost, and a big level writes one line per object.
    FILE* Append_File = nullptr;
    void Close_Append_File();
};

// "|DATE=d-m-yyyy| |TIME=h:m:s:ms| (GMT+0)" for the current UTC time.
void Log_Date_Time_Stamp(char* out, int out_size);
// " |h:m:s:ms| " for the current UTC time.
void Log_Line_Stamp(char* out, int out_size);
