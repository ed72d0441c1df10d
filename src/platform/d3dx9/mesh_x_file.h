// Internal: the DirectX .x file format read into a tree of data objects.
//
// The three flavours (text, binary, MSZIP-compressed text or binary) come
// out the same: each data object has its template name, its optional
// object name, the primitive values of its members in order (numbers and
// strings; separators and list boundaries are dropped, since every array in
// the templates we read is preceded by its count), and its child objects and
// references in order. Templates are skipped.
#pragma once

#include "platform/d3dx9.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace x_file {

struct Value {
    enum class Kind : std::uint8_t { Integer, Float, String };
    Kind kind = Kind::Integer;
    double number = 0.0;       // Integer and Float
    std::uint32_t string = 0;  // String: index into Object::strings
};

struct Object {
    std::string type;        // template name, e.g. "Mesh"; empty for a reference
    std::string name;        // object name, or the target of a reference
    bool reference = false;  // "{ Name }" inside another object
    std::vector<Value> values;
    std::vector<std::string> strings;
    std::vector<Object> children;
};

// Largest file accepted; the value lists grow with the file size.
constexpr std::size_t k_max_file_bytes = std::size_t{256} << 20;

// Parses a whole file. Returns D3D_OK, D3DXERR_INVALIDDATA for anything
// that is not a well-formed .x file, or E_OUTOFMEMORY.
HRESULT Parse(const unsigned char* data, std::size_t size, std::vector<Object>* objects);

}  // namespace x_file
