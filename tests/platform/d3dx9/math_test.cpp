// D3DX math against values worked out by hand (row vectors: v' = v * M).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/d3dx9.h"

namespace {

constexpr float k_eps = 1e-5f;

void Expect_Matrix_Near(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float eps = k_eps) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], eps) << "row " << r << " column " << c;
}

void Expect_Vec_Near(const D3DXVECTOR3& v, float x, float y, float z, float eps = k_eps) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

D3DXVECTOR3 Transform(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

const D3DXMATRIX k_identity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

}  // namespace

TEST(D3dx_Math, MatrixConstructionComparisonAndIdentity) {
    const D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(m._12, 2.0f);
    EXPECT_EQ(m._21, 5.0f);
    EXPECT_EQ(m(3, 2), 15.0f);
    EXPECT_TRUE(m == D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16));
    EXPECT_FALSE(m == D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17));

    D3DXMATRIX id = m;
    EXPECT_EQ(D3DXMatrixIdentity(&id), &id);
    EXPECT_TRUE(id == k_identity);
}

TEST(D3dx_Math, ProductsApplyTheLeftMatrixFirst) {
    const D3DXMATRIX a(1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const D3DXMATRIX b(1, 0, 0, 0, 3, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    // Row 1 of a*b: (1*1 + 2*3, 1*0 + 2*1, 0, 0).
    Expect_Matrix_Near(a * b, D3DXMATRIX(7, 2, 0, 0, 3, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));

    // Rotate (1,0,0) a quarter turn about z to (0,1,0), then move it by (1,0,0).
    D3DXMATRIX rotate, move, both;
    D3DXMatrixRotationZ(&rotate, D3DX_PI / 2);
    D3DXMatrixTranslation(&move, 1, 0, 0);
    D3DXMatrixMultiply(&both, &rotate, &move);
    Expect_Vec_Near(Transform({1, 0, 0}, both), 1, 1, 0);
    D3DXMatrixMultiply(&both, &move, &rotate);
    Expect_Vec_Near(Transform({1, 0, 0}, both), 0, 2, 0);

    // The output may be either input.
    D3DXMATRIX left = rotate;
    D3DXMatrixMultiply(&left, &left, &move);
    Expect_Matrix_Near(left, rotate * move);
    D3DXMATRIX right = move;
    D3DXMatrixMultiply(&right, &rotate, &right);
    Expect_Matrix_Near(right, rotate * move);
}

TEST(D3dx_Math, InverseOfKnownAndGeneralMatrices) {
    D3DXMATRIX t, inverse;
    float det = 0;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    ASSERT_EQ(D3DXMatrixInverse(&inverse, &det, &t), &inverse);
    EXPECT_NEAR(det, 1.0f, k_eps);
    D3DXMATRIX expected;
    D3DXMatrixTranslation(&expected, -1, -2, -3);
    Expect_Matrix_Near(inverse, expected);

    D3DXMATRIX s;
    D3DXMatrixScaling(&s, 2, 4, 8);
    ASSERT_NE(D3DXMatrixInverse(&inverse, &det, &s), nullptr);
    EXPECT_NEAR(det, 64.0f, k_eps);
    D3DXMatrixScaling(&expected, 0.5f, 0.25f, 0.125f);
    Expect_Matrix_Near(inverse, expected);

    // A matrix with every element in play: M * M^-1 = I, and the inverse
    // written over its own input.
    const D3DXMATRIX m(2, -1, 0, 3, 1, 4, -2, 0, 0, 5, 1, -1, 7, 0, 2, 1);
    ASSERT_NE(D3DXMatrixInverse(&inverse, &det, &m), nullptr);
    Expect_Matrix_Near(m * inverse, k_identity, 1e-5f);
    Expect_Matrix_Near(inverse * m, k_identity, 1e-5f);
    D3DXMATRIX in_place = m;
    ASSERT_EQ(D3DXMatrixInverse(&in_place, nullptr, &in_place), &in_place);
    Expect_Matrix_Near(in_place, inverse);
    // Determinant by cofactor expansion along the first row: -263.
    EXPECT_NEAR(det, -263.0f, 1e-3f);
}

TEST(D3dx_Math, SingularMatrixHasNoInverseAndLeavesTheOutputAlone) {
    D3DXMATRIX flat;
    D3DXMatrixScaling(&flat, 1, 1, 0);
    D3DXMATRIX out(9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9);
    const D3DXMATRIX before = out;
    float det = 5;
    EXPECT_EQ(D3DXMatrixInverse(&out, &det, &flat), nullptr);
    EXPECT_TRUE(out == before);
    EXPECT_EQ(det, 0.0f);

    const D3DXMATRIX dependent(1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 0, 0, 0, 1, 1);
    EXPECT_EQ(D3DXMatrixInverse(&out, nullptr, &dependent), nullptr);
    EXPECT_TRUE(out == before);
}

TEST(D3dx_Math, TransposeTranslationScaling) {
    const D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    D3DXMATRIX t;
    D3DXMatrixTranspose(&t, &m);
    EXPECT_TRUE(t == D3DXMATRIX(1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16));
    D3DXMatrixTranspose(&t, &t);
    EXPECT_TRUE(t == m);

    D3DXMATRIX move, scale;
    D3DXMatrixTranslation(&move, 10, 20, 30);
    EXPECT_TRUE(move == D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1));
    D3DXMatrixScaling(&scale, 2, 3, 4);
    Expect_Vec_Near(Transform({1, 1, 1}, scale * move), 12, 23, 34);
}

TEST(D3dx_Math, AxisRotationsTurnAQuarterAsDirect3DDoes) {
    D3DXMATRIX r;
    D3DXMatrixRotationX(&r, D3DX_PI / 2);
    Expect_Vec_Near(Transform({0, 1, 0}, r), 0, 0, 1);
    D3DXMatrixRotationY(&r, D3DX_PI / 2);
    Expect_Vec_Near(Transform({0, 0, 1}, r), 1, 0, 0);
    D3DXMatrixRotationZ(&r, D3DX_PI / 2);
    Expect_Vec_Near(Transform({1, 0, 0}, r), 0, 1, 0);

    // 30 degrees about y: (0,0,1) -> (sin 30, 0, cos 30).
    D3DXMatrixRotationY(&r, D3DX_PI / 6);
    Expect_Vec_Near(Transform({0, 0, 1}, r), 0.5f, 0, 0.8660254f);
}

TEST(D3dx_Math, RotationAxisNormalisesAndFollowsTheLeftHandedSense) {
    // A positive angle about +y turns +z toward +x.
    D3DXMATRIX r;
    const D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixRotationAxis(&r, &up, 0.1f);
    const D3DXVECTOR3 turned = Transform({0, 0, 1}, r);
    EXPECT_GT(turned.x, 0.09f);
    EXPECT_NEAR(turned.z, std::cos(0.1f), k_eps);

    // The axis length does not matter.
    const D3DXVECTOR3 long_up(0, 2.5f, 0);
    D3DXMATRIX a, b;
    D3DXMatrixRotationAxis(&a, &long_up, 0.7f);
    D3DXMatrixRotationY(&b, 0.7f);
    Expect_Matrix_Near(a, b);

    // A third of a turn about (1,1,1) carries x to y and y to z.
    const D3DXVECTOR3 diagonal(1, 1, 1);
    D3DXMatrixRotationAxis(&r, &diagonal, 2 * D3DX_PI / 3);
    Expect_Vec_Near(Transform({1, 0, 0}, r), 0, 1, 0);
    Expect_Vec_Near(Transform({0, 1, 0}, r), 0, 0, 1);

    // The mouse look's pitch: one degree about the camera's right axis (1,0,0)
    // tilts the view direction (0,0,1) down (toward -y) for a positive angle.
    const D3DXVECTOR3 right(1, 0, 0);
    D3DXMatrixRotationAxis(&r, &right, 0.017453292f);
    const D3DXVECTOR3 look = Transform({0, 0, 1}, r);
    EXPECT_NEAR(look.y, -std::sin(0.017453292f), k_eps);
}

TEST(D3dx_Math, PerspectiveFovLHOfTheEngineCamera) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, 0.7853982f, 1.3333334f, 1.0f, 15000.0f);
    const float y_scale = 2.4142135f;  // cot(pi/8)
    Expect_Matrix_Near(p, D3DXMATRIX(y_scale / 1.3333334f, 0, 0, 0, 0, y_scale, 0, 0, 0, 0,
                                     15000.0f / 14999.0f, 1, 0, 0, -15000.0f / 14999.0f, 0));

    // Near and far planes land on depth 0 and 1 after the divide by w.
    D3DXMatrixPerspectiveFovLH(&p, D3DX_PI / 2, 1.0f, 1.0f, 3.0f);
    Expect_Vec_Near(Transform({0, 0, 1}, p), 0, 0, 0);
    Expect_Vec_Near(Transform({0, 0, 3}, p), 0, 0, 1);
    Expect_Vec_Near(Transform({1, 1, 2}, p), 0.5f, 0.5f, 0.75f);
}

TEST(D3dx_Math, LookAtLHBuildsTheViewBasis) {
    D3DXMATRIX v;
    const D3DXVECTOR3 eye(5, 6, 25), at(5, 6, 26), up(0, 1, 0);
    D3DXMatrixLookAtLH(&v, &eye, &at, &up);
    Expect_Matrix_Near(v, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -5, -6, -25, 1));

    // Looking along +x from the origin: the target is straight ahead, +z is
    // to the left.
    const D3DXVECTOR3 origin(0, 0, 0), along_x(1, 0, 0);
    D3DXMatrixLookAtLH(&v, &origin, &along_x, &up);
    Expect_Vec_Near(Transform({1, 0, 0}, v), 0, 0, 1);
    Expect_Vec_Near(Transform({0, 0, 1}, v), -1, 0, 0);
}

TEST(D3dx_Math, OrthoOffCenterLHMapsTheScreenRectangle) {
    D3DXMATRIX o;
    D3DXMatrixOrthoOffCenterLH(&o, 0, 640, 480, 0, 0, 1);
    Expect_Vec_Near(Transform({0, 0, 0}, o), -1, 1, 0);
    Expect_Vec_Near(Transform({640, 480, 1}, o), 1, -1, 1);
    Expect_Vec_Near(Transform({320, 240, 0.5f}, o), 0, 0, 0.5f);
}

TEST(D3dx_Math, VectorOperations) {
    D3DXVECTOR3 v(3, 4, 0);
    D3DXVec3Normalize(&v, &v);
    Expect_Vec_Near(v, 0.6f, 0.8f, 0);

    D3DXVECTOR3 zero(0, 0, 0), out(1, 1, 1);
    D3DXVec3Normalize(&out, &zero);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);

    const D3DXVECTOR3 a(1, 2, 3), b(4, 5, 6), x(1, 0, 0), y(0, 1, 0);
    D3DXVec3Cross(&out, &x, &y);
    Expect_Vec_Near(out, 0, 0, 1);
    D3DXVec3Cross(&out, &a, &b);
    Expect_Vec_Near(out, -3, 6, -3);
    D3DXVECTOR3 c = a;
    D3DXVec3Cross(&c, &c, &b);  // output aliasing the first input
    Expect_Vec_Near(c, -3, 6, -3);

    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 32.0f);
    const D3DXVECTOR3 seven(2, 3, 6);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&seven), 7.0f);
}

TEST(D3dx_Math, TransformsOfPointsNormalsAndFourVectors) {
    D3DXMATRIX move, scale;
    D3DXMatrixTranslation(&move, 5, 5, 5);
    D3DXMatrixScaling(&scale, 2, 3, 4);
    const D3DXVECTOR3 x(1, 0, 0);
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &x, &move);
    Expect_Vec_Near(out, 1, 0, 0);
    D3DXVec3TransformNormal(&out, &x, &scale);
    Expect_Vec_Near(out, 2, 0, 0);
    Expect_Vec_Near(Transform(x, move), 6, 5, 5);

    // A w other than 1 is divided out.
    const D3DXMATRIX half(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2);
    Expect_Vec_Near(Transform({4, 6, 8}, half), 2, 3, 4);

    D3DXVECTOR4 v4(1, 2, 3, 1), r4;
    D3DXMatrixTranslation(&move, 1, 1, 1);
    D3DXVec4Transform(&r4, &v4, &move);
    EXPECT_FLOAT_EQ(r4.x, 2);
    EXPECT_FLOAT_EQ(r4.y, 3);
    EXPECT_FLOAT_EQ(r4.z, 4);
    EXPECT_FLOAT_EQ(r4.w, 1);
    const D3DXVECTOR4 direction(1, 2, 3, 0);
    D3DXVec4Transform(&r4, &direction, &move);
    EXPECT_FLOAT_EQ(r4.x, 1);
    EXPECT_FLOAT_EQ(r4.w, 0);
}

TEST(D3dx_Math, ColourPackingRoundsAndClamps) {
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(0.4f, 0.4f, 0.4f, 1.0f)), 0xFF666666u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(0.6f, 0.6f, 0.6f, 1.0f)), 0xFF999999u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(0.1f, 0.1f, 0.1f, 1.0f)), 0xFF1A1A1Au);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(0.3f, 0.3f, 0.0f, 1.0f)), 0xFF4D4D00u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(2.0f, -1.0f, 0.5f, 1.0f)), 0xFFFF0080u);

    const D3DXCOLOR grey(0xFF646464u);
    EXPECT_FLOAT_EQ(grey.r, 100.0f / 255.0f);
    EXPECT_FLOAT_EQ(grey.a, 1.0f);
    const D3DXCOLOR channels(0x80402010u);
    EXPECT_FLOAT_EQ(channels.a, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(channels.r, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(channels.g, 32.0f / 255.0f);
    EXPECT_FLOAT_EQ(channels.b, 16.0f / 255.0f);

    // Every byte survives unpacking and packing again.
    for (DWORD value = 0; value < 256; ++value) {
        const DWORD argb = (value << 24) | ((255 - value) << 16) | (value << 8) | (value ^ 0x5A);
        EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(argb)), argb);
    }
}
