// ID3DXMesh: vertex and index data kept in memory (so locks cost nothing)
// and mirrored into device buffers, drawn one subset at a time.
#include "platform/d3dx9/mesh_data.h"

#include "platform/d3d9/com_object.h"
#include "platform/d3d9/copy_on_write.h"
#include "platform/d3dx9/buffer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <new>
#include <numeric>
#include <utility>

namespace {

constexpr DWORD k_no_neighbour = 0xFFFFFFFFu;

HRESULT Create_Device_Buffers(Mesh_Storage* s);

template <typename Buffer>
HRESULT Upload(Buffer* buffer, const std::vector<unsigned char>& bytes) {
    if (bytes.empty()) return D3D_OK;
    void* data = nullptr;
    const HRESULT hr = buffer->Lock(0, 0, &data, 0);
    if (FAILED(hr) || !data) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
    std::memcpy(data, bytes.data(), bytes.size());
    buffer->Unlock();
    return D3D_OK;
}

class Mesh final : public Com_Object<ID3DXMesh> {
public:
    explicit Mesh(std::shared_ptr<Mesh_Storage> storage) : storage_(std::move(storage)) {
        storage_->device->AddRef();
    }

    HRESULT DrawSubset(DWORD AttribId) override {
        const Mesh_Storage& s = *storage_;
        const auto range = std::find_if(s.table.begin(), s.table.end(),
                                        [&](const auto& r) { return r.AttribId == AttribId; });
        // A subset without faces draws nothing and is not an error.
        if (range == s.table.end() || range->FaceCount == 0) return D3D_OK;
        s.device->SetFVF(s.fvf);
        s.device->SetStreamSource(0, s.vertex_buffer, 0, s.stride);
        s.device->SetIndices(s.index_buffer);
        return s.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range->VertexStart,
                                              range->VertexCount, range->FaceStart * 3,
                                              range->FaceCount);
    }

    DWORD GetNumFaces() override { return storage_->face_count; }
    DWORD GetNumVertices() override { return storage_->vertex_count; }
    DWORD GetFVF() override { return storage_->fvf; }

    HRESULT GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAXD3DDECLLENGTH]) override {
        return D3DXDeclaratorFromFVF(storage_->fvf, Declaration);
    }

    DWORD GetNumBytesPerVertex() override { return storage_->stride; }
    DWORD GetOptions() override { return storage_->options; }

    HRESULT GetDevice(LPDIRECT3DDEVICE9* ppDevice) override {
        if (!ppDevice) return D3DERR_INVALIDCALL;
        storage_->device->AddRef();
        *ppDevice = storage_->device;
        return D3D_OK;
    }

    HRESULT LockVertexBuffer(DWORD Flags, LPVOID* ppData) override {
        return Lock(&vertex_lock_, &Mesh_Storage::vertices, Flags, ppData);
    }

    HRESULT UnlockVertexBuffer() override {
        if (!Close(&vertex_lock_)) return D3DERR_INVALIDCALL;
        // What the caller may have written reaches the device copy now.
        if (vertex_lock_.flags & D3DLOCK_READONLY) return D3D_OK;
        return Upload(storage_->vertex_buffer, storage_->vertices);
    }

    HRESULT LockIndexBuffer(DWORD Flags, LPVOID* ppData) override {
        return Lock(&index_lock_, &Mesh_Storage::indices, Flags, ppData);
    }

    HRESULT UnlockIndexBuffer() override {
        if (!Close(&index_lock_)) return D3DERR_INVALIDCALL;
        if (index_lock_.flags & D3DLOCK_READONLY) return D3D_OK;
        return Upload(storage_->index_buffer, storage_->indices);
    }

    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) override {
        const std::vector<D3DXATTRIBUTERANGE>& table = storage_->table;
        if (!pAttribTable && !pAttribTableSize) return D3DERR_INVALIDCALL;
        if (pAttribTableSize) *pAttribTableSize = static_cast<DWORD>(table.size());
        if (pAttribTable) std::copy(table.begin(), table.end(), pAttribTable);
        return D3D_OK;
    }

    const std::shared_ptr<Mesh_Storage>& Storage() const { return storage_; }

private:
    // Whether a lock is open, and the flags it was opened with.
    struct Lock_State {
        bool open = false;
        DWORD flags = 0;
    };

    ~Mesh() { storage_->device->Release(); }

    HRESULT Lock(Lock_State* state, std::vector<unsigned char> Mesh_Storage::*bytes, DWORD flags,
                 LPVOID* out) {
        if (!out) return D3DERR_INVALIDCALL;
        if (state->open) return D3DERR_INVALIDCALL;
        if (!(flags & D3DLOCK_READONLY)) {
            const HRESULT hr = Make_Private();
            if (FAILED(hr)) return hr;
        }
        state->open = true;
        state->flags = flags;
        *out = ((*storage_).*bytes).data();
        return D3D_OK;
    }

    // True when a lock was open; whether to upload is in its flags.
    static bool Close(Lock_State* state) {
        if (!state->open) return false;
        state->open = false;
        return true;
    }

    // Gives this mesh storage of its own before it is written, when other
    // meshes may share it.
    HRESULT Make_Private() {
        return ::Make_Private(&storage_, [](Mesh_Storage* copy, const Mesh_Storage&) {
            return Create_Device_Buffers(copy);
        });
    }

    std::shared_ptr<Mesh_Storage> storage_;
    Lock_State vertex_lock_;
    Lock_State index_lock_;
};

}  // namespace

HRESULT Create_Mesh(IDirect3DDevice9* device, DWORD options, Mesh_Data data, ID3DXMesh** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    const UINT stride = D3DXGetFVFVertexSize(data.fvf);
    const std::size_t face_count = data.attributes.size();
    if (!device || stride == 0 || data.vertex_count == 0 || face_count == 0 ||
        data.vertices.size() != static_cast<std::size_t>(data.vertex_count) * stride ||
        data.indices.size() != face_count * 3 || face_count > 0x7FFFFFFFu / 3) {
        return D3DERR_INVALIDCALL;
    }
    for (std::uint32_t index : data.indices) {
        if (index >= data.vertex_count) return D3DERR_INVALIDCALL;
    }

    try {
        // Faces in subset order, keeping their order inside a subset.
        std::vector<std::uint32_t> order(face_count);
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return data.attributes[a] < data.attributes[b];
        });

        if (data.vertex_count > 0xFFFFu) options |= D3DXMESH_32BIT;
        const bool index32 = (options & D3DXMESH_32BIT) != 0;
        std::vector<unsigned char> index_bytes(face_count * 3 * (index32 ? 4 : 2));
        std::vector<D3DXATTRIBUTERANGE> table;
        for (std::size_t f = 0; f < face_count; ++f) {
            const std::uint32_t src = order[f];
            const DWORD attribute = data.attributes[src];
            if (table.empty() || table.back().AttribId != attribute) {
                table.push_back({attribute, static_cast<DWORD>(f), 0, 0xFFFFFFFFu, 0});
            }
            D3DXATTRIBUTERANGE& range = table.back();
            ++range.FaceCount;
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t index = data.indices[src * 3 + k];
                // VertexCount temporarily holds the highest vertex used.
                range.VertexStart = std::min<DWORD>(range.VertexStart, index);
                range.VertexCount = std::max<DWORD>(range.VertexCount, index);
                const std::size_t at = (f * 3 + k);
                if (index32) {
                    std::memcpy(&index_bytes[at * 4], &index, 4);
                } else {
                    const auto narrow = static_cast<std::uint16_t>(index);
                    std::memcpy(&index_bytes[at * 2], &narrow, 2);
                }
            }
        }
        for (auto& range : table) range.VertexCount = range.VertexCount - range.VertexStart + 1;

        auto storage = std::make_shared<Mesh_Storage>();
        storage->device = device;
        storage->options = options;
        storage->fvf = data.fvf;
        storage->stride = stride;
        storage->vertex_count = data.vertex_count;
        storage->face_count = static_cast<UINT>(face_count);
        storage->vertices = std::move(data.vertices);
        storage->indices = std::move(index_bytes);
        storage->table = std::move(table);
        const HRESULT hr = Create_Device_Buffers(storage.get());
        if (FAILED(hr)) return hr;
        *out = new Mesh(std::move(storage));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

namespace {

HRESULT Create_Device_Buffers(Mesh_Storage* s) {
    const bool index32 = (s->options & D3DXMESH_32BIT) != 0;
    HRESULT hr =
        s->device->CreateVertexBuffer(static_cast<UINT>(s->vertices.size()), D3DUSAGE_WRITEONLY,
                                      s->fvf, D3DPOOL_MANAGED, &s->vertex_buffer, nullptr);
    if (FAILED(hr) || !s->vertex_buffer) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
    hr = s->device->CreateIndexBuffer(static_cast<UINT>(s->indices.size()), D3DUSAGE_WRITEONLY,
                                      index32 ? D3DFMT_INDEX32 : D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                      &s->index_buffer, nullptr);
    if (FAILED(hr) || !s->index_buffer) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
    hr = Upload(s->vertex_buffer, s->vertices);
    if (FAILED(hr)) return hr;
    return Upload(s->index_buffer, s->indices);
}

}  // namespace

Mesh_Storage::~Mesh_Storage() {
    if (index_buffer) index_buffer->Release();
    if (vertex_buffer) vertex_buffer->Release();
}

std::shared_ptr<Mesh_Storage> Mesh_Storage_Of(ID3DXMesh* mesh) {
    auto* ours = dynamic_cast<Mesh*>(mesh);
    if (!ours) return nullptr;
    ours->Storage()->shareable = true;
    return ours->Storage();
}

HRESULT Create_Shared_Mesh(std::shared_ptr<Mesh_Storage> storage, ID3DXMesh** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!storage || !storage->device) return D3DERR_INVALIDCALL;
    try {
        *out = new Mesh(std::move(storage));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

std::vector<DWORD> Build_Adjacency(const std::vector<std::uint32_t>& indices) {
    const std::size_t faces = indices.size() / 3;
    std::vector<DWORD> adjacency(faces * 3, k_no_neighbour);
    // Each undirected edge remembers the first face edge that used it; the
    // second user pairs up with it.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::size_t> open_edges;
    for (std::size_t f = 0; f < faces; ++f) {
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t a = indices[f * 3 + e];
            const std::uint32_t b = indices[f * 3 + (e + 1) % 3];
            const auto key = std::minmax(a, b);
            const auto found = open_edges.find(key);
            if (found == open_edges.end()) {
                open_edges.emplace(key, f * 3 + e);
                continue;
            }
            const std::size_t other = found->second;
            adjacency[f * 3 + e] = static_cast<DWORD>(other / 3);
            adjacency[other] = static_cast<DWORD>(f);
            open_edges.erase(found);
        }
    }
    return adjacency;
}

HRESULT Create_Adjacency_Buffer(ID3DXMesh* mesh, ID3DXBuffer** out) {
    if (!mesh || !out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    try {
        const std::size_t count = std::size_t{mesh->GetNumFaces()} * 3;
        std::vector<std::uint32_t> indices(count);
        void* data = nullptr;
        const HRESULT hr = mesh->LockIndexBuffer(D3DLOCK_READONLY, &data);
        if (FAILED(hr)) return hr;
        if (mesh->GetOptions() & D3DXMESH_32BIT) {
            std::memcpy(indices.data(), data, count * 4);
        } else {
            const auto* narrow = static_cast<const std::uint16_t*>(data);
            for (std::size_t i = 0; i < count; ++i) indices[i] = narrow[i];
        }
        mesh->UnlockIndexBuffer();
        const std::vector<DWORD> adjacency = Build_Adjacency(indices);
        return Create_Buffer(adjacency.data(), adjacency.size() * sizeof(DWORD), out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
