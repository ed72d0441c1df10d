// ID3DXMesh: vertex and index data kept in memory (so locks cost nothing)
// and mirrored into device buffers, drawn one subset at a time.
#include "platform/d3dx9/mesh_data.h"

#include "platform/d3dx9/buffer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <new>
#include <numeric>
#include <utility>

namespace {

constexpr DWORD kNo_Neighbour = 0xFFFFFFFFu;

class Mesh final : public ID3DXMesh {
public:
    Mesh(IDirect3DDevice9* device, DWORD options, DWORD fvf, UINT vertex_count,
         std::vector<unsigned char> vertices, std::vector<unsigned char> indices, UINT face_count,
         std::vector<D3DXATTRIBUTERANGE> table)
        : device_(device),
          options_(options),
          fvf_(fvf),
          stride_(D3DXGetFVFVertexSize(fvf)),
          vertex_count_(vertex_count),
          face_count_(face_count),
          vertices_(std::move(vertices)),
          indices_(std::move(indices)),
          table_(std::move(table))
    {
        device_->AddRef();
    }

    HRESULT Create_Device_Buffers()
    {
        HRESULT hr = device_->CreateVertexBuffer(static_cast<UINT>(vertices_.size()),
                                                 D3DUSAGE_WRITEONLY, fvf_, D3DPOOL_MANAGED,
                                                 &vertex_buffer_, nullptr);
        if (FAILED(hr) || !vertex_buffer_) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
        hr = device_->CreateIndexBuffer(static_cast<UINT>(indices_.size()), D3DUSAGE_WRITEONLY,
                                        Index32() ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                        D3DPOOL_MANAGED, &index_buffer_, nullptr);
        if (FAILED(hr) || !index_buffer_) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
        hr = Upload(vertex_buffer_, vertices_);
        if (FAILED(hr)) return hr;
        return Upload(index_buffer_, indices_);
    }

    ULONG AddRef() override { return ++refs_; }

    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT DrawSubset(DWORD AttribId) override
    {
        const auto range = std::find_if(table_.begin(), table_.end(), [&](const auto& r) {
            return r.AttribId == AttribId;
        });
        // A subset without faces draws nothing and is not an error.
        if (range == table_.end() || range->FaceCount == 0) return D3D_OK;
        device_->SetFVF(fvf_);
        device_->SetStreamSource(0, vertex_buffer_, 0, stride_);
        device_->SetIndices(index_buffer_);
        return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range->VertexStart,
                                             range->VertexCount, range->FaceStart * 3,
                                             range->FaceCount);
    }

    DWORD GetNumFaces() override { return face_count_; }
    DWORD GetNumVertices() override { return vertex_count_; }
    DWORD GetFVF() override { return fvf_; }

    HRESULT GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAXD3DDECLLENGTH]) override
    {
        return D3DXDeclaratorFromFVF(fvf_, Declaration);
    }

    DWORD GetNumBytesPerVertex() override { return stride_; }
    DWORD GetOptions() override { return options_; }

    HRESULT GetDevice(LPDIRECT3DDEVICE9* ppDevice) override
    {
        if (!ppDevice) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *ppDevice = device_;
        return D3D_OK;
    }

    HRESULT LockVertexBuffer(DWORD Flags, LPVOID* ppData) override
    {
        return Lock(&vertex_lock_, vertices_, Flags, ppData);
    }

    HRESULT UnlockVertexBuffer() override
    {
        return Unlock(&vertex_lock_, vertex_buffer_, vertices_);
    }

    HRESULT LockIndexBuffer(DWORD Flags, LPVOID* ppData) override
    {
        return Lock(&index_lock_, indices_, Flags, ppData);
    }

    HRESULT UnlockIndexBuffer() override { return Unlock(&index_lock_, index_buffer_, indices_); }

    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) override
    {
        if (!pAttribTable && !pAttribTableSize) return D3DERR_INVALIDCALL;
        if (pAttribTableSize) *pAttribTableSize = static_cast<DWORD>(table_.size());
        if (pAttribTable) std::copy(table_.begin(), table_.end(), pAttribTable);
        return D3D_OK;
    }

private:
    // Whether a lock is open, and the flags it was opened with.
    struct Lock_State {
        bool open = false;
        DWORD flags = 0;
    };

    ~Mesh()
    {
        if (index_buffer_) index_buffer_->Release();
        if (vertex_buffer_) vertex_buffer_->Release();
        device_->Release();
    }

    bool Index32() const { return (options_ & D3DXMESH_32BIT) != 0; }

    template <typename Buffer>
    static HRESULT Upload(Buffer* buffer, const std::vector<unsigned char>& bytes)
    {
        if (bytes.empty()) return D3D_OK;
        void* data = nullptr;
        const HRESULT hr = buffer->Lock(0, 0, &data, 0);
        if (FAILED(hr) || !data) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
        std::memcpy(data, bytes.data(), bytes.size());
        buffer->Unlock();
        return D3D_OK;
    }

    static HRESULT Lock(Lock_State* state, std::vector<unsigned char>& bytes, DWORD flags,
                        LPVOID* out)
    {
        if (!out) return D3DERR_INVALIDCALL;
        if (state->open) return D3DERR_INVALIDCALL;
        state->open = true;
        state->flags = flags;
        *out = bytes.data();
        return D3D_OK;
    }

    template <typename Buffer>
    static HRESULT Unlock(Lock_State* state, Buffer* buffer,
                          const std::vector<unsigned char>& bytes)
    {
        if (!state->open) return D3DERR_INVALIDCALL;
        state->open = false;
        // What the caller may have written reaches the device copy now.
        if (state->flags & D3DLOCK_READONLY) return D3D_OK;
        return Upload(buffer, bytes);
    }

    std::atomic<ULONG> refs_{1};
    IDirect3DDevice9* device_;
    DWORD options_;
    DWORD fvf_;
    UINT stride_;
    UINT vertex_count_;
    UINT face_count_;
    std::vector<unsigned char> vertices_;
    std::vector<unsigned char> indices_;
    std::vector<D3DXATTRIBUTERANGE> table_;
    IDirect3DVertexBuffer9* vertex_buffer_ = nullptr;
    IDirect3DIndexBuffer9* index_buffer_ = nullptr;
    Lock_State vertex_lock_;
    Lock_State index_lock_;
};

}  // namespace

HRESULT Create_Mesh(IDirect3DDevice9* device, DWORD options, Mesh_Data data, ID3DXMesh** out)
{
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

        auto* mesh = new Mesh(device, options, data.fvf, data.vertex_count,
                              std::move(data.vertices), std::move(index_bytes),
                              static_cast<UINT>(face_count), std::move(table));
        const HRESULT hr = mesh->Create_Device_Buffers();
        if (FAILED(hr)) {
            mesh->Release();
            return hr;
        }
        *out = mesh;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

std::vector<DWORD> Build_Adjacency(const std::vector<std::uint32_t>& indices)
{
    const std::size_t faces = indices.size() / 3;
    std::vector<DWORD> adjacency(faces * 3, kNo_Neighbour);
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

HRESULT Create_Adjacency_Buffer(ID3DXMesh* mesh, ID3DXBuffer** out)
{
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
