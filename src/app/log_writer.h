// Main_Log_Writer: one plain-text log file, opened afresh with a header and
// appended to one stamped line at a time. No handle is kept between calls, so
// every line is on disk as soon as Write_Line returns.
#pragma once

class Main_Log_Writer {
public:
    explicit Main_Log_Writer(const char* file_name);
    virtual ~Main_Log_Writer();

    void Set_Directory(const char* directory);
    bool Open();
    bool Write_Line(const char* text);

    char Open_Stamp[1024];
    char Line_Stamp[1024];
    char Directory[1024];
    char File_Name[1024];
    char Full_Path[256];  // at most 255 characters of text
};

// "|DATE=d-m-yyyy| |TIME=h:m:s:ms| (GMT+0)" for the current UTC time.
void Log_Date_Time_Stamp(char* out, int out_size);
// " |h:m:s:ms| " for the current UTC time.
void Log_Line_Stamp(char* out, int out_size);
