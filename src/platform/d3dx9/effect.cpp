// ID3DXEffect and D3DXCreateEffectFromFileA.
//
// An effect file is preprocessed on every creation (includes may change),
// then its template is looked up (effect_template.h). Instances share that
// immutable template and own only their parameter values, textures and
// uniform buffers.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>

#include "platform/d3d9/gl_device.h"
#include "platform/d3d9/com_object.h"
#include "platform/d3dx9.h"
#include "platform/d3dx9/buffer.h"
#include "platform/fx/compile/compiler.h"
#include "platform/d3dx9/effect_inspect.h"
#include "platform/d3dx9/effect_template.h"

namespace qm_fx {

namespace {

// ---------------------------------------------------------------------------
// The effect instance
// ---------------------------------------------------------------------------
DWORD To_Dword(Value_Kind kind, const double* v, std::size_t count) {
    switch (kind) {
    case Value_Kind::Float: return std::bit_cast<DWORD>(static_cast<float>(v[0]));
    case Value_Kind::Color:
        if (count >= 3) {
            auto channel = [](double c) {
                return static_cast<DWORD>(std::clamp(c, 0.0, 1.0) * 255.0 + 0.5);
            };
            return (channel(count >= 4 ? v[3] : 1.0) << 24) | (channel(v[0]) << 16) |
                   (channel(v[1]) << 8) | channel(v[2]);
        }
        return Value_Word(Base_Type::Uint, v[0]);
    default: return Value_Word(Base_Type::Uint, v[0]);
    }
}

class Effect;
// Our effects are recognised by a registry of live instances, so that a
// foreign ID3DXEffect is never cast.
std::unordered_map<const ID3DXEffect*, Effect*>& Live_Effects() {
    static auto* live = new std::unordered_map<const ID3DXEffect*, Effect*>();
    return *live;
}

class Effect final : public Com_Object<ID3DXEffect> {
public:
    Effect(IDirect3DDevice9* device, Gl_Device* gl, std::shared_ptr<const Effect_Template> tpl)
        : device_(device), gl_(gl), tpl_(std::move(tpl)), desc_(tpl_->desc) {
        device_->AddRef();
        storage_ = desc_.defaults;
        textures_.assign(desc_.parameters.size(), nullptr);
        texture_dirty_.assign(desc_.parameters.size(), 0);
        buffers_.resize(tpl_->buffer_slots);
        scratch_.assign(tpl_->max_block, 0);
        technique_ = desc_.techniques.empty() ? -1 : 0;
    }

    const Effect_Desc& Desc() const { return desc_; }
    const Effect_Template& Template() const { return *tpl_; }

    // --- IUnknown ----------------------------------------------------------
    // --- handles -------------------------------------------------------------
    D3DXHANDLE GetTechniqueByName(LPCSTR pName) override {
        const int t = tpl_->technique_names.Find(pName);
        return t < 0 ? nullptr : desc_.techniques[static_cast<std::size_t>(t)].name.c_str();
    }

    D3DXHANDLE GetParameterByName(D3DXHANDLE hParameter, LPCSTR pName) override {
        if (hParameter) return nullptr;  // members of structs are not addressed separately
        const int p = tpl_->parameter_names.Find(pName);
        return p < 0 ? nullptr : desc_.parameters[static_cast<std::size_t>(p)].name.c_str();
    }

    HRESULT SetTechnique(D3DXHANDLE hTechnique) override {
        const int t = Technique_Index(hTechnique);
        if (t < 0) return D3DERR_INVALIDCALL;
        if (in_begin_) End();
        technique_ = t;
        return D3D_OK;
    }

    D3DXHANDLE GetCurrentTechnique() override {
        return technique_ < 0 ? nullptr
                              : desc_.techniques[static_cast<std::size_t>(technique_)].name.c_str();
    }

    // --- values ----------------------------------------------------------------
    HRESULT SetValue(D3DXHANDLE h, LPCVOID pData, UINT Bytes) override {
        const Parameter* p = Numeric_Or_Object(h);
        if (!p || !pData) return D3DERR_INVALIDCALL;
        if (p->type.base == Base_Type::Texture) {
            if (Bytes < sizeof(void*)) return D3DERR_INVALIDCALL;
            IDirect3DBaseTexture9* tex;
            std::memcpy(&tex, pData, sizeof tex);
            return Store_Texture(*p, tex);
        }
        if (!p->type.Numeric()) return D3DERR_INVALIDCALL;
        const std::size_t bytes = std::min<std::size_t>(Bytes, std::size_t(p->type.Words()) * 4);
        std::memcpy(storage_.data() + p->offset, pData, bytes);
        ++version_;
        return D3D_OK;
    }

    HRESULT GetValue(D3DXHANDLE h, LPVOID pData, UINT Bytes) override {
        const Parameter* p = Numeric_Or_Object(h);
        if (!p || !pData) return D3DERR_INVALIDCALL;
        if (p->type.base == Base_Type::Texture) {
            if (Bytes < sizeof(void*)) return D3DERR_INVALIDCALL;
            IDirect3DBaseTexture9* tex = Texture_Of(*p);
            if (tex) tex->AddRef();
            std::memcpy(pData, &tex, sizeof tex);
            return D3D_OK;
        }
        if (p->type.base == Base_Type::String) {
            const char* s = p->string_value.c_str();
            if (Bytes < sizeof(s)) return D3DERR_INVALIDCALL;
            std::memcpy(pData, &s, sizeof s);
            return D3D_OK;
        }
        if (!p->type.Numeric()) return D3DERR_INVALIDCALL;
        const std::size_t bytes = std::min<std::size_t>(Bytes, std::size_t(p->type.Words()) * 4);
        std::memcpy(pData, storage_.data() + p->offset, bytes);
        return D3D_OK;
    }

    HRESULT SetBool(D3DXHANDLE h, BOOL b) override { return Set_Scalar(h, b ? 1.0 : 0.0); }
    HRESULT GetBool(D3DXHANDLE h, BOOL* pb) override {
        double v;
        if (!pb || Get_Scalar(h, &v) < 0) return D3DERR_INVALIDCALL;
        *pb = v != 0.0;
        return D3D_OK;
    }
    HRESULT SetInt(D3DXHANDLE h, INT n) override { return Set_Scalar(h, n); }
    HRESULT GetInt(D3DXHANDLE h, INT* pn) override {
        double v;
        if (!pn || Get_Scalar(h, &v) < 0) return D3DERR_INVALIDCALL;
        *pn = static_cast<INT>(Value_Word(Base_Type::Int, v));
        return D3D_OK;
    }
    HRESULT SetFloat(D3DXHANDLE h, FLOAT f) override { return Set_Scalar(h, f); }
    HRESULT GetFloat(D3DXHANDLE h, FLOAT* pf) override {
        double v;
        if (!pf || Get_Scalar(h, &v) < 0) return D3DERR_INVALIDCALL;
        *pf = static_cast<float>(v);
        return D3D_OK;
    }

    HRESULT SetVector(D3DXHANDLE h, const D3DXVECTOR4* pVector) override {
        const Parameter* p = Plain_Numeric(h);
        if (!p || !pVector || p->type.Is_Matrix()) return D3DERR_INVALIDCALL;
        const float v[4] = {pVector->x, pVector->y, pVector->z, pVector->w};
        const std::uint32_t n = std::min<std::uint32_t>(4, p->type.Element_Words());
        for (std::uint32_t k = 0; k < n; ++k)
            storage_[p->offset + k] = Value_Word(p->type.base, v[k]);
        ++version_;
        return D3D_OK;
    }

    HRESULT GetVector(D3DXHANDLE h, D3DXVECTOR4* pVector) override {
        const Parameter* p = Plain_Numeric(h);
        if (!p || !pVector || p->type.Is_Matrix()) return D3DERR_INVALIDCALL;
        float v[4] = {0, 0, 0, 0};
        const std::uint32_t n = std::min<std::uint32_t>(4, p->type.Element_Words());
        for (std::uint32_t k = 0; k < n; ++k)
            v[k] = static_cast<float>(Word_Value(p->type.base, storage_[p->offset + k]));
        *pVector = D3DXVECTOR4(v[0], v[1], v[2], v[3]);
        return D3D_OK;
    }

    // D3DX matrices are row-major memory with row vectors; the parameter
    // storage keeps HLSL's logical rows, so M[r][c] lands on HLSL m[r][c]
    // and mul(v, M) in a shader equals D3DXVec4Transform(v, M). A smaller
    // matrix takes the leading rows and columns.
    HRESULT SetMatrix(D3DXHANDLE h, const D3DXMATRIX* pMatrix) override {
        const Parameter* p = Plain_Numeric(h);
        if (!p || !pMatrix || !p->type.Is_Matrix()) return D3DERR_INVALIDCALL;
        for (std::uint32_t r = 0; r < p->type.rows; ++r)
            for (std::uint32_t c = 0; c < p->type.cols; ++c)
                storage_[p->offset + r * p->type.cols + c] =
                    Value_Word(p->type.base, pMatrix->m[r][c]);
        ++version_;
        return D3D_OK;
    }

    HRESULT GetMatrix(D3DXHANDLE h, D3DXMATRIX* pMatrix) override {
        const Parameter* p = Plain_Numeric(h);
        if (!p || !pMatrix || !p->type.Is_Matrix()) return D3DERR_INVALIDCALL;
        for (std::uint32_t r = 0; r < 4; ++r)
            for (std::uint32_t c = 0; c < 4; ++c)
                pMatrix->m[r][c] =
                    r < p->type.rows && c < p->type.cols
                        ? static_cast<float>(
                              Word_Value(p->type.base, storage_[p->offset + r * p->type.cols + c]))
                        : (r == c ? 1.0f : 0.0f);
        return D3D_OK;
    }

    HRESULT SetTexture(D3DXHANDLE h, LPDIRECT3DBASETEXTURE9 pTexture) override {
        const Parameter* p = Numeric_Or_Object(h);
        if (!p || p->type.base != Base_Type::Texture) return D3DERR_INVALIDCALL;
        return Store_Texture(*p, pTexture);
    }

    HRESULT GetTexture(D3DXHANDLE h, LPDIRECT3DBASETEXTURE9* ppTexture) override {
        const Parameter* p = Numeric_Or_Object(h);
        if (!p || !ppTexture || p->type.base != Base_Type::Texture) return D3DERR_INVALIDCALL;
        *ppTexture = Texture_Of(*p);
        if (*ppTexture) (*ppTexture)->AddRef();
        return D3D_OK;
    }

    // --- drawing ---------------------------------------------------------------
    HRESULT Begin(UINT* pPasses, DWORD Flags) override {
        if (technique_ < 0 || in_begin_) return D3DERR_INVALIDCALL;
        const Technique_Plan& tp = tpl_->techniques[static_cast<std::size_t>(technique_)];
        saved_ = !(Flags & D3DXFX_DONOTSAVESTATE);
        save_samplers_ = !(Flags & D3DXFX_DONOTSAVESAMPLERSTATE);
        save_constants_ = !(Flags & D3DXFX_DONOTSAVESHADERSTATE);
        if (saved_) Save(tp.save);
        in_begin_ = true;
        if (pPasses) *pPasses = static_cast<UINT>(tp.passes.size());
        return D3D_OK;
    }

    HRESULT BeginPass(UINT Pass) override {
        if (!in_begin_ || in_pass_) return D3DERR_INVALIDCALL;
        const Technique_Plan& tp = tpl_->techniques[static_cast<std::size_t>(technique_)];
        if (Pass >= tp.passes.size()) return D3DERR_INVALIDCALL;
        pass_ = static_cast<int>(Pass);
        in_pass_ = true;
        Apply_Pass(false);
        return D3D_OK;
    }

    HRESULT CommitChanges() override {
        if (!in_pass_) return D3DERR_INVALIDCALL;
        Apply_Pass(true);
        return D3D_OK;
    }

    HRESULT EndPass() override {
        if (!in_pass_) return D3DERR_INVALIDCALL;
        gl_->Clear_Shader_Override();
        in_pass_ = false;
        return D3D_OK;
    }

    HRESULT End() override {
        if (!in_begin_) return D3DERR_INVALIDCALL;
        if (in_pass_) EndPass();
        if (saved_) Restore(tpl_->techniques[static_cast<std::size_t>(technique_)].save);
        in_begin_ = false;
        return D3D_OK;
    }

private:
    struct Stage_Buffer {
        GLuint buffer = 0;
        std::uint64_t version = 0;
        float offset_x = 0, offset_y = 0;
    };

    ~Effect() {
        Live_Effects().erase(this);
        if (in_begin_) End();
        for (IDirect3DBaseTexture9*& t : textures_)
            if (t) t->Release();
        for (IDirect3DBaseTexture9*& t : saved_textures_)
            if (t) t->Release();
        gl_->Make_Current();
        for (const Stage_Buffer& b : buffers_)
            if (b.buffer) glDeleteBuffers(1, &b.buffer);
        device_->Release();
    }

    int Technique_Index(D3DXHANDLE h) const {
        if (!h) return -1;
        for (std::size_t t = 0; t < desc_.techniques.size(); ++t)
            if (h == desc_.techniques[t].name.c_str()) return static_cast<int>(t);
        return tpl_->technique_names.Find(h);
    }

    const Parameter* Numeric_Or_Object(D3DXHANDLE h) const {
        const int p = tpl_->parameter_names.Find(h);
        return p < 0 ? nullptr : &desc_.parameters[static_cast<std::size_t>(p)];
    }

    // Numeric parameters other than structs.
    const Parameter* Plain_Numeric(D3DXHANDLE h) const {
        const Parameter* p = Numeric_Or_Object(h);
        if (!p || !p->type.Numeric() || p->type.cls == Type_Class::Struct) return nullptr;
        return p;
    }

    HRESULT Set_Scalar(D3DXHANDLE h, double v) {
        const Parameter* p = Plain_Numeric(h);
        if (!p) return D3DERR_INVALIDCALL;
        storage_[p->offset] = Value_Word(p->type.base, v);
        ++version_;
        return D3D_OK;
    }

    HRESULT Get_Scalar(D3DXHANDLE h, double* v) const {
        const Parameter* p = Plain_Numeric(h);
        if (!p) return D3DERR_INVALIDCALL;
        *v = Word_Value(p->type.base, storage_[p->offset]);
        return D3D_OK;
    }

    IDirect3DBaseTexture9* Texture_Of(const Parameter& p) const {
        return textures_[static_cast<std::size_t>(&p - desc_.parameters.data())];
    }

    HRESULT Store_Texture(const Parameter& p, IDirect3DBaseTexture9* tex) {
        const std::size_t i = static_cast<std::size_t>(&p - desc_.parameters.data());
        if (tex) tex->AddRef();
        if (textures_[i]) textures_[i]->Release();
        textures_[i] = tex;
        texture_dirty_[i] = 1;
        return D3D_OK;
    }

    IDirect3DBaseTexture9* Texture_Param(int index) const {
        return index < 0 ? nullptr : textures_[static_cast<std::size_t>(index)];
    }

    // --- state save and restore ----------------------------------------------------
    void Save(const Save_Set& s) {
        saved_render_.resize(s.render.size());
        for (std::size_t k = 0; k < s.render.size(); ++k)
            device_->GetRenderState(s.render[k], &saved_render_[k]);
        saved_sampler_.resize(s.sampler.size());
        if (save_samplers_)
            for (std::size_t k = 0; k < s.sampler.size(); ++k)
                device_->GetSamplerState(s.sampler[k].first, s.sampler[k].second,
                                         &saved_sampler_[k]);
        saved_textures_.assign(s.textures.size(), nullptr);
        for (std::size_t k = 0; k < s.textures.size(); ++k)
            device_->GetTexture(s.textures[k], &saved_textures_[k]);
        saved_stage_.resize(s.stage.size());
        for (std::size_t k = 0; k < s.stage.size(); ++k)
            device_->GetTextureStageState(s.stage[k].first, s.stage[k].second, &saved_stage_[k]);
        saved_transforms_.resize(s.transforms.size());
        for (std::size_t k = 0; k < s.transforms.size(); ++k)
            device_->GetTransform(s.transforms[k], &saved_transforms_[k]);
        saved_light_enables_.resize(s.light_enables.size());
        for (std::size_t k = 0; k < s.light_enables.size(); ++k)
            device_->GetLightEnable(s.light_enables[k], &saved_light_enables_[k]);
        saved_lights_.resize(s.lights.size());
        for (std::size_t k = 0; k < s.lights.size(); ++k)
            device_->GetLight(s.lights[k], &saved_lights_[k]);
        if (s.material) device_->GetMaterial(&saved_material_);
        if (s.shader_constants && save_constants_) {
            // Both register files, whole: 9 KB, once per Begin.
            saved_constants_.resize(2);
            Gl_Shader_Constants& v = saved_constants_[0];
            Gl_Shader_Constants& p = saved_constants_[1];
            device_->GetVertexShaderConstantF(0, v.f[0], Gl_Vertex_Float_Constants);
            device_->GetVertexShaderConstantI(0, v.i[0], Gl_Int_Constants);
            device_->GetPixelShaderConstantF(0, p.f[0], Gl_Pixel_Float_Constants);
            device_->GetPixelShaderConstantI(0, p.i[0], Gl_Int_Constants);
            for (UINT k = 0; k < Gl_Bool_Constants; ++k) {
                device_->GetVertexShaderConstantB(k, &v.b[k][0], 1);
                device_->GetPixelShaderConstantB(k, &p.b[k][0], 1);
            }
        }
    }

    void Restore(const Save_Set& s) {
        for (std::size_t k = 0; k < s.render.size(); ++k)
            device_->SetRenderState(s.render[k], saved_render_[k]);
        if (save_samplers_)
            for (std::size_t k = 0; k < s.sampler.size(); ++k)
                device_->SetSamplerState(s.sampler[k].first, s.sampler[k].second,
                                         saved_sampler_[k]);
        for (std::size_t k = 0; k < s.textures.size(); ++k) {
            device_->SetTexture(s.textures[k], saved_textures_[k]);
            if (saved_textures_[k]) saved_textures_[k]->Release();
            saved_textures_[k] = nullptr;
        }
        for (std::size_t k = 0; k < s.stage.size(); ++k)
            device_->SetTextureStageState(s.stage[k].first, s.stage[k].second, saved_stage_[k]);
        for (std::size_t k = 0; k < s.transforms.size(); ++k)
            device_->SetTransform(s.transforms[k], &saved_transforms_[k]);
        for (std::size_t k = 0; k < s.light_enables.size(); ++k)
            device_->LightEnable(s.light_enables[k], saved_light_enables_[k]);
        for (std::size_t k = 0; k < s.lights.size(); ++k)
            device_->SetLight(s.lights[k], &saved_lights_[k]);
        if (s.material) device_->SetMaterial(&saved_material_);
        if (s.shader_constants && save_constants_ && saved_constants_.size() == 2) {
            const Gl_Shader_Constants& v = saved_constants_[0];
            const Gl_Shader_Constants& p = saved_constants_[1];
            device_->SetVertexShaderConstantF(0, v.f[0], Gl_Vertex_Float_Constants);
            device_->SetVertexShaderConstantI(0, v.i[0], Gl_Int_Constants);
            device_->SetPixelShaderConstantF(0, p.f[0], Gl_Pixel_Float_Constants);
            device_->SetPixelShaderConstantI(0, p.i[0], Gl_Int_Constants);
            for (UINT k = 0; k < Gl_Bool_Constants; ++k) {
                device_->SetVertexShaderConstantB(k, &v.b[k][0], 1);
                device_->SetPixelShaderConstantB(k, &p.b[k][0], 1);
            }
        }
    }

    // --- applying a pass -------------------------------------------------------------
    // Without `commit` everything is applied; with it (CommitChanges) only what
    // depends on values changed since the pass began.
    void Apply_Pass(bool commit) {
        const Technique& tech = desc_.techniques[static_cast<std::size_t>(technique_)];
        const Pass& pass = tech.passes[static_cast<std::size_t>(pass_)];
        const Pass_Plan& plan = tpl_->techniques[static_cast<std::size_t>(technique_)]
                                    .passes[static_cast<std::size_t>(pass_)];
        const bool values_changed = version_ != applied_version_;

        for (std::size_t k = 0; k < pass.states.size(); ++k) {
            const State_Assignment& sa = pass.states[k];
            const bool constant = sa.value.root < 0 || sa.value.Constant();
            bool apply = !commit;
            if (commit) {
                if (sa.def->kind == State_Kind::Texture)
                    apply = sa.object >= 0 && texture_dirty_[static_cast<std::size_t>(sa.object)];
                else if (sa.def->kind == State_Kind::Sampler_Object && sa.object >= 0) {
                    const Parameter& s = desc_.parameters[static_cast<std::size_t>(sa.object)];
                    apply = (s.sampler_texture >= 0 &&
                             texture_dirty_[static_cast<std::size_t>(s.sampler_texture)]) ||
                            values_changed;
                } else
                    apply = (!constant || sa.def->kind == State_Kind::Transform ||
                             sa.def->kind == State_Kind::Shader_Constant) &&
                            values_changed;
            }
            if (apply) Apply_State(sa, plan.constants[k]);
        }

        const Stage_Plan* vs =
            Pick_Stage(pass, pass.vertex_choice, plan.vs_choices, plan.has_vs ? &plan.vs : nullptr);
        const Stage_Plan* ps =
            Pick_Stage(pass, pass.pixel_choice, plan.ps_choices, plan.has_ps ? &plan.ps : nullptr);
        // A shader picked by a parameter may change with it: set the programs again.
        const bool picked = pass.vertex_choice >= 0 || pass.pixel_choice >= 0;
        if (vs) Bind_Samplers(*vs, commit && !picked, values_changed);
        if (ps) Bind_Samplers(*ps, commit && !picked, values_changed);

        gl_->Make_Current();
        if (vs) Upload(*vs, k_vertex_block_binding, true);
        if (ps) Upload(*ps, k_pixel_block_binding, false);
        if (!commit || (picked && values_changed)) {
            if (vs || ps) {
                gl_->Set_Shader_Override(vs ? vs->compiled->program : 0,
                                         ps ? ps->compiled->program : 0);
                if (vs && !vs->compiled->attribute_remap.empty())
                    gl_->Set_Attribute_Remap(vs->compiled->attribute_remap.data(),
                                             vs->compiled->attribute_remap.size());
            } else
                gl_->Clear_Shader_Override();
        }
        applied_version_ = version_;
        std::fill(texture_dirty_.begin(), texture_dirty_.end(), 0);
    }

    // The stage a pass draws with: its fixed shader, or the element of a
    // shader array its index expression picks now (clamped to the array).
    const Stage_Plan* Pick_Stage(const Pass& pass, int choice, const std::vector<Stage_Plan>& plans,
                                 const Stage_Plan* fixed) const {
        if (choice < 0 || plans.empty()) return fixed;
        double v = 0;
        Evaluate(pass.states[static_cast<std::size_t>(choice)].value, desc_, storage_.data(), &v,
                 1);
        const double last = static_cast<double>(plans.size() - 1);
        const std::size_t k = static_cast<std::size_t>(v >= 0 ? (v <= last ? v : last) : 0);
        return plans[k].compiled ? &plans[k] : nullptr;
    }

    void Apply_Sampler_States(const Parameter& sampler, DWORD stage, bool commit,
                              bool values_changed) {
        for (const State_Assignment& sa : sampler.sampler_states) {
            if (sa.def->kind != State_Kind::Sampler) continue;
            const bool constant = sa.value.Constant();
            if (commit && (constant || !values_changed)) continue;
            double v[4];
            Evaluate(sa.value, desc_, storage_.data(), v, 4);
            device_->SetSamplerState(stage, static_cast<D3DSAMPLERSTATETYPE>(sa.def->id),
                                     To_Dword(sa.def->value, v, 1));
        }
        if (sampler.sampler_sets_texture &&
            (!commit || (sampler.sampler_texture >= 0 &&
                         texture_dirty_[static_cast<std::size_t>(sampler.sampler_texture)])))
            device_->SetTexture(stage, Texture_Param(sampler.sampler_texture));
    }

    void Bind_Samplers(const Stage_Plan& sp, bool commit, bool values_changed) {
        for (const auto& [param, stage] : sp.samplers)
            Apply_Sampler_States(desc_.parameters[static_cast<std::size_t>(param)], stage, commit,
                                 values_changed);
    }

    void Apply_State(const State_Assignment& sa, const std::array<double, 4>& constant) {
        double v[4] = {constant[0], constant[1], constant[2], constant[3]};
        std::size_t count = 1;
        if (sa.value.root >= 0) {
            if (!sa.value.Constant()) Evaluate(sa.value, desc_, storage_.data(), v, 4);
            const Expr_Node& root = sa.value.nodes[static_cast<std::size_t>(sa.value.root)];
            count = root.op == Expr_Node::Op::Vector ? root.kids.size() : 1;
            if (root.op == Expr_Node::Op::Parameter)
                count = desc_.parameters[static_cast<std::size_t>(root.parameter)].type.Words();
        }
        const DWORD word = To_Dword(sa.def->value, v, count);
        switch (sa.def->kind) {
        case State_Kind::Render:
            device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(sa.def->id), word);
            break;
        case State_Kind::Sampler:
            device_->SetSamplerState(sa.index, static_cast<D3DSAMPLERSTATETYPE>(sa.def->id), word);
            break;
        case State_Kind::Texture_Stage:
            device_->SetTextureStageState(sa.index,
                                          static_cast<D3DTEXTURESTAGESTATETYPE>(sa.def->id), word);
            break;
        case State_Kind::Texture: device_->SetTexture(sa.index, Texture_Param(sa.object)); break;
        case State_Kind::Sampler_Object:
            if (sa.object >= 0)
                Apply_Sampler_States(desc_.parameters[static_cast<std::size_t>(sa.object)],
                                     sa.index, false, true);
            break;
        case State_Kind::Transform: {
            D3DMATRIX m{};
            if (sa.object < 0) {
                // A matrix expression; one value fills the matrix ("= 0").
                if (sa.value.root < 0) break;
                double e[16];
                const bool one = Evaluate(sa.value, desc_, storage_.data(), e, 16) == 1;
                for (int k = 0; k < 16; ++k)
                    m.m[k / 4][k % 4] = static_cast<float>(one ? e[0] : e[k]);
                device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(sa.def->id + sa.index),
                                      &m);
                break;
            }
            const Parameter& p = desc_.parameters[static_cast<std::size_t>(sa.object)];
            for (std::uint32_t r = 0; r < 4; ++r)
                for (std::uint32_t c = 0; c < 4; ++c)
                    m.m[r][c] = r < p.type.rows && c < p.type.cols
                                    ? static_cast<float>(Word_Value(
                                          p.type.base, storage_[p.offset + r * p.type.cols + c]))
                                    : (r == c ? 1.0f : 0.0f);
            device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(sa.def->id + sa.index), &m);
            break;
        }
        case State_Kind::Shader_Constant: Apply_Shader_Constant(sa, v, count); break;
        case State_Kind::Light_Enable: device_->LightEnable(sa.index, word != 0); break;
        case State_Kind::Light: {
            D3DLIGHT9 light{};
            device_->GetLight(sa.index, &light);
            const float f[4] = {float(v[0]), float(v[1]), float(v[2]), float(v[3])};
            switch (static_cast<Light_Field>(sa.def->id)) {
            case Light_Field::Type: light.Type = static_cast<D3DLIGHTTYPE>(word); break;
            case Light_Field::Diffuse: light.Diffuse = {f[0], f[1], f[2], f[3]}; break;
            case Light_Field::Specular: light.Specular = {f[0], f[1], f[2], f[3]}; break;
            case Light_Field::Ambient: light.Ambient = {f[0], f[1], f[2], f[3]}; break;
            case Light_Field::Position: light.Position = {f[0], f[1], f[2]}; break;
            case Light_Field::Direction: light.Direction = {f[0], f[1], f[2]}; break;
            case Light_Field::Range: light.Range = f[0]; break;
            case Light_Field::Falloff: light.Falloff = f[0]; break;
            case Light_Field::Attenuation0: light.Attenuation0 = f[0]; break;
            case Light_Field::Attenuation1: light.Attenuation1 = f[0]; break;
            case Light_Field::Attenuation2: light.Attenuation2 = f[0]; break;
            case Light_Field::Theta: light.Theta = f[0]; break;
            case Light_Field::Phi: light.Phi = f[0]; break;
            }
            device_->SetLight(sa.index, &light);
            break;
        }
        case State_Kind::Material: {
            D3DMATERIAL9 mat{};
            device_->GetMaterial(&mat);
            const D3DCOLORVALUE c = {float(v[0]), float(v[1]), float(v[2]), float(v[3])};
            switch (static_cast<Material_Field>(sa.def->id)) {
            case Material_Field::Diffuse: mat.Diffuse = c; break;
            case Material_Field::Ambient: mat.Ambient = c; break;
            case Material_Field::Specular: mat.Specular = c; break;
            case Material_Field::Emissive: mat.Emissive = c; break;
            case Material_Field::Power: mat.Power = c.r; break;
            }
            device_->SetMaterial(&mat);
            break;
        }
        default: break;
        }
    }

    // Constant registers from a parameter or a value written out. A matrix
    // fills one register per column (per row when it is row_major), as its
    // shader would see it; anything else fills registers in order, four
    // values each (bool registers one value each).
    void Apply_Shader_Constant(const State_Assignment& sa, const double* v, std::size_t count) {
        const std::uint32_t id = sa.def->id;
        const Constant_File file = Constant_File_Of(id);
        const std::size_t width = file == Constant_File::Bool ? 1 : 4;
        std::vector<double> values;
        auto pad = [&] {
            while (values.size() % width) values.push_back(0.0);
        };
        if (sa.object >= 0) {
            const Parameter& p = desc_.parameters[static_cast<std::size_t>(sa.object)];
            const Type_Info& t = p.type;
            const std::uint32_t elements = t.elements ? t.elements : 1;
            for (std::uint32_t e = 0; e < elements; ++e) {
                const std::uint32_t base = p.offset + e * t.Element_Words();
                if (t.Is_Matrix()) {
                    const bool columns = t.cls == Type_Class::Matrix_Columns;
                    const std::uint32_t regs = columns ? t.cols : t.rows;
                    const std::uint32_t length = columns ? t.rows : t.cols;
                    for (std::uint32_t r = 0; r < regs; ++r) {
                        for (std::uint32_t c = 0; c < length; ++c)
                            values.push_back(Word_Value(
                                t.base,
                                storage_[base + (columns ? c * t.cols + r : r * t.cols + c)]));
                        pad();
                    }
                } else {
                    for (std::uint32_t w = 0; w < t.Element_Words(); ++w)
                        values.push_back(Word_Value(t.base, storage_[base + w]));
                    pad();
                }
            }
        } else {
            for (std::size_t k = 0; k < count && k < 4; ++k) values.push_back(v[k]);
            pad();
        }
        if (const std::uint32_t fixed = Constant_Registers(id)) values.resize(fixed * width, 0.0);
        const bool pixel = Constant_Pixel(id);
        const UINT limit = file == Constant_File::Bool  ? Gl_Bool_Constants
                           : file == Constant_File::Int ? Gl_Int_Constants
                           : pixel                      ? Gl_Pixel_Float_Constants
                                                        : Gl_Vertex_Float_Constants;
        if (sa.index >= limit) return;
        const UINT registers =
            std::min<UINT>(static_cast<UINT>(values.size() / width), limit - sa.index);
        if (registers == 0) return;
        switch (file) {
        case Constant_File::Float: {
            std::vector<float> f(values.begin(), values.begin() + registers * 4);
            if (pixel)
                device_->SetPixelShaderConstantF(sa.index, f.data(), registers);
            else
                device_->SetVertexShaderConstantF(sa.index, f.data(), registers);
            break;
        }
        case Constant_File::Int: {
            std::vector<int> n(registers * 4);
            for (std::size_t k = 0; k < n.size(); ++k) n[k] = static_cast<int>(values[k]);
            if (pixel)
                device_->SetPixelShaderConstantI(sa.index, n.data(), registers);
            else
                device_->SetVertexShaderConstantI(sa.index, n.data(), registers);
            break;
        }
        case Constant_File::Bool: {
            std::vector<BOOL> b(registers);
            for (std::size_t k = 0; k < b.size(); ++k) b[k] = values[k] != 0.0 ? TRUE : FALSE;
            if (pixel)
                device_->SetPixelShaderConstantB(sa.index, b.data(), registers);
            else
                device_->SetVertexShaderConstantB(sa.index, b.data(), registers);
            break;
        }
        }
    }

    void Upload(const Stage_Plan& sp, GLuint binding, bool vertex) {
        const std::uint32_t size = sp.compiled->block_size;
        if (size == 0) return;
        Stage_Buffer& b = buffers_[sp.buffer_slot];
        float ox = 0, oy = 0;
        if (vertex && sp.pixel_offset >= 0) gl_->Half_Pixel_Offset(&ox, &oy);
        if (!b.buffer) {
            glCreateBuffers(1, &b.buffer);
            glNamedBufferData(b.buffer, size, nullptr, GL_DYNAMIC_DRAW);
            b.version = 0;
        }
        if (b.version != version_ || b.offset_x != ox || b.offset_y != oy) {
            std::fill(scratch_.begin(), scratch_.begin() + size, std::uint8_t{0});
            for (const Copy_Op& op : sp.copies)
                if (op.byte + 4 <= size) std::memcpy(&scratch_[op.byte], &storage_[op.word], 4);
            if (sp.pixel_offset >= 0 && static_cast<std::uint32_t>(sp.pixel_offset) + 8 <= size) {
                std::memcpy(&scratch_[static_cast<std::size_t>(sp.pixel_offset)], &ox, 4);
                std::memcpy(&scratch_[static_cast<std::size_t>(sp.pixel_offset) + 4], &oy, 4);
            }
            glNamedBufferSubData(b.buffer, 0, size, scratch_.data());
            b.version = version_;
            b.offset_x = ox;
            b.offset_y = oy;
        }
        glBindBufferRange(GL_UNIFORM_BUFFER, binding, b.buffer, 0, size);
    }

    IDirect3DDevice9* device_;
    Gl_Device* gl_;
    std::shared_ptr<const Effect_Template> tpl_;
    const Effect_Desc& desc_;

    std::vector<std::uint32_t> storage_;
    std::vector<IDirect3DBaseTexture9*> textures_;  // per parameter; owned references
    std::vector<std::uint8_t> texture_dirty_;
    std::uint64_t version_ = 1;
    std::uint64_t applied_version_ = 0;
    std::vector<Stage_Buffer> buffers_;
    std::vector<std::uint8_t> scratch_;

    int technique_ = -1;
    int pass_ = -1;
    bool in_begin_ = false;
    bool in_pass_ = false;
    bool saved_ = false;
    bool save_samplers_ = true;

    std::vector<DWORD> saved_render_;
    std::vector<DWORD> saved_sampler_;
    std::vector<IDirect3DBaseTexture9*> saved_textures_;
    std::vector<DWORD> saved_stage_;
    std::vector<D3DMATRIX> saved_transforms_;
    std::vector<BOOL> saved_light_enables_;
    std::vector<D3DLIGHT9> saved_lights_;
    bool save_constants_ = true;
    std::vector<Gl_Shader_Constants> saved_constants_;
    D3DMATERIAL9 saved_material_{};
};

Effect* Our_Effect(ID3DXEffect* e) {
    auto it = Live_Effects().find(e);
    return it == Live_Effects().end() ? nullptr : it->second;
}

}  // namespace

const Effect_Desc* Effect_Description(ID3DXEffect* effect) {
    Effect* e = Our_Effect(effect);
    return e ? &e->Desc() : nullptr;
}

bool Effect_Pass_Samplers(ID3DXEffect* effect, unsigned technique, unsigned pass,
                          std::vector<std::pair<int, std::uint32_t>>* samplers) {
    Effect* e = Our_Effect(effect);
    if (!e || technique >= e->Template().techniques.size() ||
        pass >= e->Template().techniques[technique].passes.size())
        return false;
    const Pass_Plan& p = e->Template().techniques[technique].passes[pass];
    samplers->clear();
    if (p.has_vs) samplers->insert(samplers->end(), p.vs.samplers.begin(), p.vs.samplers.end());
    if (p.has_ps) samplers->insert(samplers->end(), p.ps.samplers.begin(), p.ps.samplers.end());
    return true;
}

}  // namespace qm_fx

void Platform_Start_Effect_Compiler(void) {
    qm_fx::Start_Compile_Worker();
}

bool D3DXEffectSourceFile(ID3DXEffect* pEffect, UINT Index, LPSTR pName, UINT Size) {
    using namespace qm_fx;
    Effect* e = Our_Effect(pEffect);
    if (!e || !pName || Size == 0 || Index >= e->Template().files.size()) return false;
    const std::string& name = e->Template().files[Index];
    if (name.size() + 1 > Size) return false;
    std::memcpy(pName, name.c_str(), name.size() + 1);
    return true;
}

HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                         const D3DXMACRO* pDefines, LPD3DXINCLUDE /*pInclude*/,
                                         DWORD /*Flags*/, LPD3DXEFFECTPOOL /*pPool*/,
                                         LPD3DXEFFECT* ppEffect,
                                         LPD3DXBUFFER* ppCompilationErrors) {
    using namespace qm_fx;
    if (ppCompilationErrors) *ppCompilationErrors = nullptr;
    if (ppEffect) *ppEffect = nullptr;
    if (!pDevice || !pSrcFile || !ppEffect) return D3DERR_INVALIDCALL;
    Gl_Device* gl = Gl_Device_From(pDevice);
    if (!gl) return D3DERR_INVALIDCALL;

    Macro_Definitions defines;
    for (const D3DXMACRO* m = pDefines; m && m->Name; ++m)
        defines.emplace_back(m->Name, m->Definition ? m->Definition : "");

    Diagnostics diag;
    bool unreadable = false;
    std::shared_ptr<const Effect_Template> tpl;
    try {
        tpl = Load_Template(gl, pSrcFile, defines, &diag, &unreadable);
    } catch (const std::bad_alloc&) {
        diag.Error_No_Location(std::string("out of memory compiling '") + pSrcFile + "'");
    }
    if (!diag.Text().empty() && ppCompilationErrors)
        Create_Buffer(diag.Text().c_str(), diag.Text().size() + 1, ppCompilationErrors);
    if (!tpl) {
        std::fputs(diag.Text().c_str(), stderr);
        return unreadable ? D3DXERR_INVALIDDATA : E_FAIL;
    }
    auto* effect = new Effect(pDevice, gl, std::move(tpl));
    Live_Effects()[effect] = effect;
    *ppEffect = effect;
    return D3D_OK;
}
