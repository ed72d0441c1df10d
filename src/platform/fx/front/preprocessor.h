// Effect files, stage 1: the C-style preprocessor in front of the effect
// parser. It turns a file and its #includes into one token stream in which
// every token remembers the file and line it came from, so that messages of
// every later stage (ours and the HLSL compiler's) point into the source.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qm_fx {

enum class Token_Kind : std::uint8_t {
    Identifier,
    Number,
    String,     // text keeps its quotes
    Character,  // text keeps its quotes
    Punct,
    Pragma,   // a "#pragma pack_matrix(...)" line, passed on as one token
    Invalid,  // a stray character or an unterminated literal (an error where it is used)
};

struct Token {
    Token_Kind kind = Token_Kind::Punct;
    std::string text;
    std::uint16_t file = 0;     // index into Token_Stream::files
    std::uint32_t line = 0;     // 1-based
    bool line_start = false;    // first token of a source line (used while preprocessing)
    bool space_before = false;  // white space or a comment precedes it
};

struct Token_Stream {
    std::vector<Token> tokens;
    std::vector<std::string> files;  // as named by the caller or the #include line
};

// Collects "path(line): error: text" lines. Once an error has been added the
// result of the stage is unusable.
class Diagnostics {
public:
    void Error(const std::string& file, std::uint32_t line, const std::string& text);
    void Warning(const std::string& file, std::uint32_t line, const std::string& text);
    void Error_No_Location(const std::string& text);
    bool Failed() const { return failed_; }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
    bool failed_ = false;
};

// Reads a whole file; false when it cannot be read.
using File_Reader = std::function<bool(const std::string& path, std::string* contents)>;

// The default reader: Open_File semantics ('\' or '/' separators, components
// matched case-insensitively when they do not exist as written).
bool Read_Effect_File(const std::string& path, std::string* contents);

using Macro_Definitions = std::vector<std::pair<std::string, std::string>>;

// Preprocesses `path` (read with `reader`) with the given predefined macros.
// Returns false (with messages in `diagnostics`) on any error.
bool Preprocess(const std::string& path, const Macro_Definitions& defines,
                const File_Reader& reader, Token_Stream* out, Diagnostics* diagnostics);

// Same for text already in memory, named `path` in messages and as the base
// of relative #includes.
bool Preprocess_Text(const std::string& path, const std::string& text,
                     const Macro_Definitions& defines, const File_Reader& reader, Token_Stream* out,
                     Diagnostics* diagnostics);

// Splits text into tokens (no directives, no macros) and appends them all;
// characters that start no token (and unterminated literals) become Invalid
// tokens, and the result is then false. Used for source files, the text of
// predefined macros and token pasting.
bool Tokenize_Text(const std::string& text, std::uint16_t file, std::vector<Token>* out);

}  // namespace qm_fx
