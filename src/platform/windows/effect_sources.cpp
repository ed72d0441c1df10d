// The files an effect was made of, for live reload (D3DXEffectSourceFile).
//
// The system's D3DX opens an effect's #includes through an ID3DXInclude when
// it is given one. D3DXCreateEffectFromFileA (as the engine calls it, see
// platform/d3dx9.h) passes one that opens files the way our own D3DX does (the
// including file's folder, the root effect file's folder, the working
// directory; names in Windows-1251) and notes each file it opened; the list
// is kept with the effect made.
#include "windows_internal.h"

#include <cstring>
#include <map>
#include <vector>

namespace {

using File_List = std::vector<std::string>;

// Effect -> its files. An entry is replaced when an effect is made at the
// same address again; every effect the engine makes comes through here.
std::map<const ID3DXEffect*, File_List>& Sources() {
    static std::map<const ID3DXEffect*, File_List> sources;
    return sources;
}

std::string Folder_Of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool Read_Whole_File(const std::string& path, std::vector<char>* contents) {
    FILE* file = Open_File(path.c_str(), "rb");
    if (file == nullptr) return false;
    char chunk[16384];
    std::size_t got = 0;
    contents->clear();
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        contents->insert(contents->end(), chunk, chunk + got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

class Recording_Include : public ID3DXInclude {
public:
    explicit Recording_Include(const char* root) : root_(root) { files_.push_back(root); }

    STDMETHOD(Open)
    (D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID parent, LPCVOID* data, UINT* bytes) override {
        if (name == nullptr || data == nullptr || bytes == nullptr) return E_INVALIDARG;
        const std::string given = name;
        std::vector<std::string> candidates;
        const bool absolute = !given.empty() && (given[0] == '/' || given[0] == '\\' ||
                                                 (given.size() > 1 && given[1] == ':'));
        if (!absolute) {
            const auto from = open_.find(parent);
            if (from != open_.end() && !Folder_Of(from->second.path).empty())
                candidates.push_back(Folder_Of(from->second.path) + given);
            if (!Folder_Of(root_).empty()) candidates.push_back(Folder_Of(root_) + given);
        }
        candidates.push_back(given);
        for (const std::string& path : candidates) {
            Open_Data opened;
            opened.path = path;
            if (!Read_Whole_File(path, &opened.contents)) continue;
            opened.contents.push_back('\0');  // never read; keeps data() unique and valid
            // The root file itself, when D3DX opens it through the include too.
            const bool root = parent == nullptr && !root_opened_ && given == root_;
            if (root)
                root_opened_ = true;
            else
                files_.push_back(path);
            *bytes = static_cast<UINT>(opened.contents.size() - 1);
            const char* pointer = opened.contents.data();
            *data = pointer;
            open_[pointer] = std::move(opened);
            return S_OK;
        }
        return E_FAIL;
    }

    STDMETHOD(Close)(LPCVOID data) override {
        open_.erase(data);
        return S_OK;
    }

    const File_List& Files() const { return files_; }

private:
    struct Open_Data {
        std::string path;
        std::vector<char> contents;
    };
    std::string root_;
    bool root_opened_ = false;
    File_List files_;
    std::map<LPCVOID, Open_Data> open_;  // data handed out -> its file
};

}  // namespace

HRESULT WINAPI Platform_D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                                  const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                                  DWORD Flags, LPD3DXEFFECTPOOL pPool,
                                                  LPD3DXEFFECT* ppEffect,
                                                  LPD3DXBUFFER* ppCompilationErrors) {
    if (pInclude != nullptr || pSrcFile == nullptr) {
        const HRESULT hr = D3DXCreateEffectFromFileA(pDevice, pSrcFile, pDefines, pInclude, Flags,
                                                     pPool, ppEffect, ppCompilationErrors);
        if (SUCCEEDED(hr) && ppEffect && *ppEffect) Sources()[*ppEffect] = {pSrcFile};
        return hr;
    }
    Recording_Include include(pSrcFile);
    const HRESULT hr = D3DXCreateEffectFromFileA(pDevice, pSrcFile, pDefines, &include, Flags,
                                                 pPool, ppEffect, ppCompilationErrors);
    if (SUCCEEDED(hr) && ppEffect && *ppEffect) Sources()[*ppEffect] = include.Files();
    return hr;
}

bool D3DXEffectSourceFile(ID3DXEffect* pEffect, UINT Index, LPSTR pName, UINT Size) {
    if (pEffect == nullptr || pName == nullptr || Size == 0) return false;
    const auto found = Sources().find(pEffect);
    if (found == Sources().end() || Index >= found->second.size()) return false;
    const std::string& name = found->second[Index];
    if (name.size() + 1 > Size) return false;
    std::memcpy(pName, name.c_str(), name.size() + 1);
    return true;
}

void Platform_Start_Effect_Compiler(void) {}
