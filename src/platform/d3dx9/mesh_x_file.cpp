// The .x file reader: a 16-byte header ("xof ", version, flavour, float
// size), MSZIP decompression for the compressed flavours, one tokenizer for
// text and one for binary, and a parser that builds data objects from either.
#include "platform/d3dx9/mesh_x_file.h"

#include <charconv>
#include <cstring>
#include <memory>
#include <new>

#include <zlib.h>

namespace x_file {
namespace {

constexpr std::size_t k_header_bytes = 16;
constexpr int k_max_depth = 64;  // nesting of data objects
constexpr std::size_t k_mszip_block = 32768;

// Thrown inside the reader for malformed input and turned into a result at
// the single entry point; nothing outside this file sees it.
struct Bad_Data {};

enum class Tok {
    End,
    Name,  // identifier (text: also any word that is not a number)
    Integer,
    Float,
    String,
    Open,      // {
    Close,     // }
    Guid,      // <...> or a binary GUID record
    Template,  // the keyword introducing a template definition
    Other,     // punctuation and keywords only meaningful inside templates
};

struct Token {
    Tok kind = Tok::End;
    std::string text;  // Name, String; the word as written for numbers in text
    double number = 0;
};

class Tokenizer {
public:
    virtual ~Tokenizer() = default;
    virtual Token Next() = 0;
};

// ---------------------------------------------------------------------------
// Text flavour
// ---------------------------------------------------------------------------
class Text_Tokenizer final : public Tokenizer {
public:
    Text_Tokenizer(const char* begin, const char* end) : p_(begin), end_(end) {}

    Token Next() override {
        Token t;
        for (;;) {
            while (p_ < end_ && Is_Space(*p_)) ++p_;
            if (p_ >= end_) return t;  // End
            const char c = *p_;
            if (c == '#' || (c == '/' && p_ + 1 < end_ && p_[1] == '/')) {
                while (p_ < end_ && *p_ != '\n') ++p_;
                continue;
            }
            if (c == ',' || c == ';') {
                ++p_;
                continue;
            }
            break;
        }
        const char c = *p_;
        if (c == '{' || c == '}') {
            ++p_;
            t.kind = c == '{' ? Tok::Open : Tok::Close;
            return t;
        }
        if (c == '<') {
            const void* close = std::memchr(p_, '>', static_cast<std::size_t>(end_ - p_));
            if (!close) throw Bad_Data{};
            p_ = static_cast<const char*>(close) + 1;
            t.kind = Tok::Guid;
            return t;
        }
        if (c == '"') {
            const char* start = p_ + 1;
            const void* close = std::memchr(start, '"', static_cast<std::size_t>(end_ - start));
            if (!close) throw Bad_Data{};
            const char* stop = static_cast<const char*>(close);
            t.kind = Tok::String;
            t.text.assign(start, stop);
            p_ = stop + 1;
            return t;
        }
        if (Is_Punctuation(c)) {
            ++p_;
            t.kind = Tok::Other;
            return t;
        }
        const char* start = p_;
        while (p_ < end_ && !Is_Space(*p_) && !Is_Punctuation(*p_) && *p_ != ',' && *p_ != ';' &&
               *p_ != '{' && *p_ != '}' && *p_ != '<' && *p_ != '"') {
            ++p_;
        }
        t.text.assign(start, p_);
        Classify_Word(&t);
        return t;
    }

private:
    static bool Is_Space(char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    }

    static bool Is_Punctuation(char c) {
        return c == '[' || c == ']' || c == '(' || c == ')' || c == '>';
    }

    static void Classify_Word(Token* t) {
        const std::string& w = t->text;
        if (w == "template") {
            t->kind = Tok::Template;
            return;
        }
        const char* first = w.data();
        const char* last = w.data() + w.size();
        if (first < last && *first == '+') ++first;
        long long integer = 0;
        auto [ip, iec] = std::from_chars(first, last, integer);
        if (iec == std::errc() && ip == last && first < last) {
            t->kind = Tok::Integer;
            t->number = static_cast<double>(integer);
            return;
        }
        double real = 0;
        auto [rp, rec] = std::from_chars(first, last, real);
        if (rec == std::errc() && rp == last && first < last) {
            t->kind = Tok::Float;
            t->number = real;
            return;
        }
        // Some exporters write not-a-number as "1.#QNAN0" or "-1.#IND00";
        // such a value becomes 0 rather than poisoning the geometry.
        if (rec == std::errc() && rp < last && *rp == '#') {
            t->kind = Tok::Float;
            t->number = 0;
            return;
        }
        t->kind = Tok::Name;
    }

    const char* p_;
    const char* end_;
};

// ---------------------------------------------------------------------------
// Binary flavour: little-endian WORD tokens, some followed by records
// ---------------------------------------------------------------------------
class Binary_Tokenizer final : public Tokenizer {
public:
    Binary_Tokenizer(const unsigned char* begin, const unsigned char* end, std::size_t float_bytes)
        : p_(begin), end_(end), float_bytes_(float_bytes) {}

    Token Next() override {
        Token t;
        if (list_left_ > 0) {
            Next_List_Element(&t);
            return t;
        }
        for (;;) {
            if (p_ == end_) return t;  // End
            const unsigned token = Read_Word();
            switch (token) {
            case 1:  // name
                t.kind = Tok::Name;
                t.text = Read_Text(Read_Dword());
                return t;
            case 2: {  // string, then its terminating separator
                t.kind = Tok::String;
                t.text = Read_Text(Read_Dword());
                if (Remaining() >= 2) {
                    const unsigned next = p_[0] | (p_[1] << 8);
                    if (next == 19 || next == 20) p_ += 2;
                }
                return t;
            }
            case 3:  // integer
                t.kind = Tok::Integer;
                t.number = Read_Dword();
                return t;
            case 5:  // GUID record
                Need(16);
                p_ += 16;
                t.kind = Tok::Guid;
                return t;
            case 6:    // integer list
            case 7: {  // float list
                const std::uint64_t count = Read_Dword();
                const std::size_t element = token == 6 ? 4 : float_bytes_;
                if (count > Remaining() / element) throw Bad_Data{};
                if (count == 0) continue;
                list_left_ = count;
                list_floats_ = token == 7;
                Next_List_Element(&t);
                return t;
            }
            case 10: t.kind = Tok::Open; return t;
            case 11: t.kind = Tok::Close; return t;
            case 19:  // comma
            case 20:  // semicolon
                continue;
            case 31: t.kind = Tok::Template; return t;
            default:
                // Brackets, parentheses, angles, dot and the type keywords
                // appear in template definitions.
                if ((token >= 12 && token <= 18) || (token >= 40 && token <= 52)) {
                    t.kind = Tok::Other;
                    return t;
                }
                throw Bad_Data{};
            }
        }
    }

private:
    std::size_t Remaining() const { return static_cast<std::size_t>(end_ - p_); }

    void Need(std::size_t bytes) const {
        if (Remaining() < bytes) throw Bad_Data{};
    }

    unsigned Read_Word() {
        Need(2);
        const unsigned v = p_[0] | (p_[1] << 8);
        p_ += 2;
        return v;
    }

    std::uint32_t Read_Dword() {
        Need(4);
        std::uint32_t v;
        std::memcpy(&v, p_, 4);
        p_ += 4;
        return v;
    }

    std::string Read_Text(std::uint32_t count) {
        Need(count);
        std::string s(reinterpret_cast<const char*>(p_), count);
        p_ += count;
        return s;
    }

    void Next_List_Element(Token* t) {
        --list_left_;
        if (!list_floats_) {
            t->kind = Tok::Integer;
            t->number = Read_Dword();
        } else if (float_bytes_ == 8) {
            Need(8);
            double d;
            std::memcpy(&d, p_, 8);
            p_ += 8;
            t->kind = Tok::Float;
            t->number = d;
        } else {
            Need(4);
            float f;
            std::memcpy(&f, p_, 4);
            p_ += 4;
            t->kind = Tok::Float;
            t->number = f;
        }
    }

    const unsigned char* p_;
    const unsigned char* end_;
    std::size_t float_bytes_;
    std::uint64_t list_left_ = 0;
    bool list_floats_ = false;
};

// ---------------------------------------------------------------------------
// Data objects
// ---------------------------------------------------------------------------
class Parser {
public:
    explicit Parser(Tokenizer& tokens) : tokens_(tokens) {}

    void Parse_File(std::vector<Object>* objects) {
        for (;;) {
            Token t = tokens_.Next();
            switch (t.kind) {
            case Tok::End: return;
            case Tok::Template: Skip_Template(); break;
            case Tok::Name: {
                Object object;
                object.type = std::move(t.text);
                Parse_Body(&object, 0);
                objects->push_back(std::move(object));
                break;
            }
            default: throw Bad_Data{};
            }
        }
    }

private:
    // After the template name: an optional object name, then { members }.
    void Parse_Body(Object* object, int depth) {
        if (depth > k_max_depth) throw Bad_Data{};
        Token t = tokens_.Next();
        if (t.kind == Tok::Name || t.kind == Tok::Integer || t.kind == Tok::Float) {
            object->name = std::move(t.text);
            t = tokens_.Next();
        }
        if (t.kind != Tok::Open) throw Bad_Data{};
        for (;;) {
            t = tokens_.Next();
            switch (t.kind) {
            case Tok::Close: return;
            case Tok::Guid: break;
            case Tok::Integer:
            case Tok::Float: {
                Value v;
                v.kind = t.kind == Tok::Integer ? Value::Kind::Integer : Value::Kind::Float;
                v.number = t.number;
                object->values.push_back(v);
                break;
            }
            case Tok::String: {
                Value v;
                v.kind = Value::Kind::String;
                v.string = static_cast<std::uint32_t>(object->strings.size());
                object->strings.push_back(std::move(t.text));
                object->values.push_back(v);
                break;
            }
            case Tok::Open: object->children.push_back(Parse_Reference()); break;
            case Tok::Name: {
                Object child;
                child.type = std::move(t.text);
                Parse_Body(&child, depth + 1);
                object->children.push_back(std::move(child));
                break;
            }
            default: throw Bad_Data{};  // end of file, stray template or punctuation
            }
        }
    }

    // After "{": a name and/or a GUID, then "}".
    Object Parse_Reference() {
        Object reference;
        reference.reference = true;
        for (;;) {
            Token t = tokens_.Next();
            if (t.kind == Tok::Close) break;
            if (t.kind == Tok::Guid) continue;
            if ((t.kind == Tok::Name || t.kind == Tok::Integer || t.kind == Tok::Float) &&
                reference.name.empty()) {
                reference.name = std::move(t.text);
                continue;
            }
            throw Bad_Data{};
        }
        return reference;
    }

    // template Name { <GUID> members [restrictions] }
    void Skip_Template() {
        if (tokens_.Next().kind != Tok::Name) throw Bad_Data{};
        if (tokens_.Next().kind != Tok::Open) throw Bad_Data{};
        int depth = 1;
        while (depth > 0) {
            const Token t = tokens_.Next();
            if (t.kind == Tok::End) throw Bad_Data{};
            if (t.kind == Tok::Open) ++depth;
            if (t.kind == Tok::Close) --depth;
        }
    }

    Tokenizer& tokens_;
};

// MSZIP: after the header, the uncompressed size (header included), then
// blocks of [uncompressed size, compressed size, "CK", deflate data]; each
// block may refer back into the previous block's output.
std::vector<unsigned char> Inflate_Mszip(const unsigned char* p, const unsigned char* end) {
    auto remaining = [&] { return static_cast<std::size_t>(end - p); };
    if (remaining() < 4) throw Bad_Data{};
    std::uint32_t total;
    std::memcpy(&total, p, 4);
    p += 4;
    if (total < k_header_bytes || total - k_header_bytes > k_max_file_bytes) throw Bad_Data{};
    const std::size_t expected = total - k_header_bytes;

    std::vector<unsigned char> out;
    out.reserve(std::min<std::size_t>(expected, remaining() * 64));

    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw std::bad_alloc{};
    struct Stream_Guard {
        z_stream* s;
        ~Stream_Guard() { inflateEnd(s); }
    } guard{&stream};

    std::vector<unsigned char> block(k_mszip_block);
    while (remaining() > 0) {
        if (remaining() < 4) throw Bad_Data{};
        const std::size_t block_size = p[0] | (p[1] << 8);
        const std::size_t packed_size = p[2] | (p[3] << 8);
        p += 4;
        if (block_size == 0 || block_size > k_mszip_block || packed_size < 2 ||
            packed_size > remaining() || p[0] != 'C' || p[1] != 'K') {
            throw Bad_Data{};
        }
        if (inflateReset(&stream) != Z_OK) throw Bad_Data{};
        if (!out.empty()) {
            const std::size_t history = std::min<std::size_t>(out.size(), k_mszip_block);
            if (inflateSetDictionary(&stream, out.data() + out.size() - history,
                                     static_cast<uInt>(history)) != Z_OK) {
                throw Bad_Data{};
            }
        }
        stream.next_in = const_cast<Bytef*>(p + 2);
        stream.avail_in = static_cast<uInt>(packed_size - 2);
        stream.next_out = block.data();
        stream.avail_out = static_cast<uInt>(block_size);
        const int result = inflate(&stream, Z_FINISH);
        if (result != Z_STREAM_END && !(result == Z_BUF_ERROR && stream.avail_out == 0)) {
            throw Bad_Data{};
        }
        const std::size_t produced = block_size - stream.avail_out;
        if (out.size() + produced > expected) throw Bad_Data{};
        out.insert(out.end(), block.data(), block.data() + produced);
        p += packed_size;
    }
    if (out.size() != expected) throw Bad_Data{};
    return out;
}

}  // namespace

HRESULT Parse(const unsigned char* data, std::size_t size, std::vector<Object>* objects) {
    if (!objects) return D3DERR_INVALIDCALL;
    objects->clear();
    if (!data || size < k_header_bytes || size > k_max_file_bytes ||
        std::memcmp(data, "xof ", 4) != 0) {
        return D3DXERR_INVALIDDATA;
    }
    const char* flavour = reinterpret_cast<const char*>(data + 8);
    const bool text = std::memcmp(flavour, "txt ", 4) == 0;
    const bool binary = std::memcmp(flavour, "bin ", 4) == 0;
    const bool text_zip = std::memcmp(flavour, "tzip", 4) == 0;
    const bool binary_zip = std::memcmp(flavour, "bzip", 4) == 0;
    if (!text && !binary && !text_zip && !binary_zip) return D3DXERR_INVALIDDATA;
    std::size_t float_bytes = 0;
    if (std::memcmp(data + 12, "0032", 4) == 0) float_bytes = 4;
    if (std::memcmp(data + 12, "0064", 4) == 0) float_bytes = 8;
    if (float_bytes == 0) return D3DXERR_INVALIDDATA;

    try {
        std::vector<unsigned char> inflated;
        const unsigned char* body = data + k_header_bytes;
        const unsigned char* end = data + size;
        if (text_zip || binary_zip) {
            inflated = Inflate_Mszip(body, end);
            body = inflated.data();
            end = inflated.data() + inflated.size();
        }
        std::unique_ptr<Tokenizer> tokens;
        if (text || text_zip) {
            tokens = std::make_unique<Text_Tokenizer>(reinterpret_cast<const char*>(body),
                                                      reinterpret_cast<const char*>(end));
        } else {
            tokens = std::make_unique<Binary_Tokenizer>(body, end, float_bytes);
        }
        Parser parser(*tokens);
        parser.Parse_File(objects);
    } catch (const Bad_Data&) {
        objects->clear();
        return D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        objects->clear();
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

}  // namespace x_file
