// Rendering tests of effects on the headless device: what the parameters,
// samplers and pass states of an effect do to the pixels.
#include <gtest/gtest.h>

#include "effect_test_util.h"

namespace {

TEST(Effect_Render, Matrix_Parameter_Transforms_Like_D3DXVec4Transform)
{
    Test_Device dev;
    ASSERT_TRUE(dev.Ok()) << dev.Error();
    std::string errors;
    ID3DXEffect* fx = Load_Effect(dev.device, Fx_Corpus("probe.fx"), &errors);
    ASSERT_NE(fx, nullptr) << errors;
    // Not symmetric, so a transposed upload would show.
    const D3DXMATRIX m(0.1f, 0.2f, 0.0f, 0.05f,
                       0.3f, 0.0f, 0.1f, 0.1f,
                       0.0f, 0.4f, 0.2f, 0.0f,
                       0.2f, 0.1f, 0.3f, 0.6f);
    ASSERT_EQ(fx->SetMatrix("M", &m), D3D_OK);
    ASSERT_EQ(fx->SetTechnique("Matrix4"), D3D_OK);
    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev.device->BeginScene();
    EXPECT_EQ(Draw_Effect(dev.device, fx), 1u);
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    const D3DXVECTOR4 in(0.1f, 0.2f, 0.3f, 1.0f);
    D3DXVECTOR4 out;
    D3DXVec4Transform(&out, &in, &m);
    EXPECT_PIXEL_NEAR(dev, 32, 32, out.x, out.y, out.z);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, out.w, 1.5 / 255);
    fx->Release();
}

}  // namespace
