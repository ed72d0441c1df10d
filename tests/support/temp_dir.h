// A fresh temporary folder for one test, optionally made the working
// directory; removed with its contents afterwards.
#pragma once

#include <string>
#include <vector>

class Temp_Dir {
public:
    explicit Temp_Dir(bool enter = true);
    ~Temp_Dir();
    Temp_Dir(const Temp_Dir&) = delete;
    Temp_Dir& operator=(const Temp_Dir&) = delete;

    const std::string& Path() const { return path_; }
    // Writes a file (folders created as needed) with exactly these bytes.
    void Write(const std::string& relative, const std::string& bytes) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string path_;
    std::string previous_;
    bool entered_;
};

// Splits text at "\r\n" (the log files' line ends).
std::vector<std::string> Split_Crlf_Lines(const std::string& text);
