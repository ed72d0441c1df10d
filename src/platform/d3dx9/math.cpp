// D3DX math: matrices, vectors and colours in the row-vector convention
// (v' = v * M), so a product A * B applies A first.
#include "platform/d3dx9.h"

#include <algorithm>
#include <cmath>

namespace {

void Store_Product(D3DXMATRIX* out, const D3DXMATRIX& a, const D3DXMATRIX& b) {
    // Computed into a temporary first: the output may alias either input.
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
        }
    }
    *out = r;
}

D3DXMATRIX Identity() {
    return D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

float Channel_To_Byte(float value) {
    const float clamped = std::clamp(value, 0.0f, 1.0f);
    return clamped * 255.0f + 0.5f;
}

}  // namespace

D3DXMATRIX::D3DXMATRIX(float f11, float f12, float f13, float f14, float f21, float f22, float f23,
                       float f24, float f31, float f32, float f33, float f34, float f41, float f42,
                       float f43, float f44) {
    _11 = f11;
    _12 = f12;
    _13 = f13;
    _14 = f14;
    _21 = f21;
    _22 = f22;
    _23 = f23;
    _24 = f24;
    _31 = f31;
    _32 = f32;
    _33 = f33;
    _34 = f34;
    _41 = f41;
    _42 = f42;
    _43 = f43;
    _44 = f44;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& other) const {
    D3DXMATRIX r;
    Store_Product(&r, *this, other);
    return r;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& other) const {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            if (m[i][j] != other.m[i][j]) return false;
        }
    }
    return true;
}

D3DXCOLOR::D3DXCOLOR(DWORD argb) {
    const float scale = 1.0f / 255.0f;
    a = scale * static_cast<float>((argb >> 24) & 0xff);
    r = scale * static_cast<float>((argb >> 16) & 0xff);
    g = scale * static_cast<float>((argb >> 8) & 0xff);
    b = scale * static_cast<float>(argb & 0xff);
}

D3DXCOLOR::operator DWORD() const {
    const DWORD da = static_cast<DWORD>(Channel_To_Byte(a));
    const DWORD dr = static_cast<DWORD>(Channel_To_Byte(r));
    const DWORD dg = static_cast<DWORD>(Channel_To_Byte(g));
    const DWORD db = static_cast<DWORD>(Channel_To_Byte(b));
    return (da << 24) | (dr << 16) | (dg << 8) | db;
}

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut) {
    if (!pOut) return nullptr;
    *pOut = Identity();
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1,
                                      const D3DXMATRIX* pM2) {
    if (!pOut || !pM1 || !pM2) return nullptr;
    Store_Product(pOut, *pM1, *pM2);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM) {
    if (!pOut || !pM) return nullptr;
    // Cofactor expansion through 2x2 sub-determinants, in double so that
    // well-conditioned matrices come back to float without visible error.
    double a[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) a[i][j] = pM->m[i][j];

    const double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    const double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    const double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    const double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    const double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    const double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    const double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    const double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    const double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    const double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    const double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    const double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (pDeterminant) *pDeterminant = static_cast<float>(det);
    if (det == 0.0 || !std::isfinite(det)) return nullptr;
    const double inv = 1.0 / det;

    double r[4][4];
    r[0][0] = (a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3) * inv;
    r[0][1] = (-a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3) * inv;
    r[0][2] = (a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3) * inv;
    r[0][3] = (-a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3) * inv;
    r[1][0] = (-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1) * inv;
    r[1][1] = (a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1) * inv;
    r[1][2] = (-a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1) * inv;
    r[1][3] = (a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1) * inv;
    r[2][0] = (a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0) * inv;
    r[2][1] = (-a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0) * inv;
    r[2][2] = (a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0) * inv;
    r[2][3] = (-a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0) * inv;
    r[3][0] = (-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0) * inv;
    r[3][1] = (a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0) * inv;
    r[3][2] = (-a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0) * inv;
    r[3][3] = (a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0) * inv;

    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) pOut->m[i][j] = static_cast<float>(r[i][j]);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
    if (!pOut || !pM) return nullptr;
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = pM->m[j][i];
    *pOut = r;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z) {
    if (!pOut) return nullptr;
    *pOut = Identity();
    pOut->_41 = x;
    pOut->_42 = y;
    pOut->_43 = z;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz) {
    if (!pOut) return nullptr;
    *pOut = Identity();
    pOut->_11 = sx;
    pOut->_22 = sy;
    pOut->_33 = sz;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, float Angle) {
    if (!pOut) return nullptr;
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = Identity();
    pOut->_22 = c;
    pOut->_23 = s;
    pOut->_32 = -s;
    pOut->_33 = c;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, float Angle) {
    if (!pOut) return nullptr;
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = Identity();
    pOut->_11 = c;
    pOut->_13 = -s;
    pOut->_31 = s;
    pOut->_33 = c;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, float Angle) {
    if (!pOut) return nullptr;
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = Identity();
    pOut->_11 = c;
    pOut->_12 = s;
    pOut->_21 = -s;
    pOut->_22 = c;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, float Angle) {
    if (!pOut || !pV) return nullptr;
    D3DXVECTOR3 axis;
    D3DXVec3Normalize(&axis, pV);
    const float x = axis.x, y = axis.y, z = axis.z;
    const float c = std::cos(Angle), s = std::sin(Angle), t = 1.0f - c;
    // Left-handed: a positive angle turns clockwise when looking from the
    // tip of the axis toward the origin (the same sense as RotationX/Y/Z).
    *pOut = D3DXMATRIX(t * x * x + c, t * x * y + s * z, t * x * z - s * y, 0, t * x * y - s * z,
                       t * y * y + c, t * y * z + s * x, 0, t * x * z + s * y, t * y * z - s * x,
                       t * z * z + c, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float Aspect, float zn,
                                              float zf) {
    if (!pOut) return nullptr;
    const float y_scale = 1.0f / std::tan(fovy / 2.0f);
    const float x_scale = y_scale / Aspect;
    *pOut = D3DXMATRIX(x_scale, 0, 0, 0, 0, y_scale, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0,
                       -zn * zf / (zf - zn), 0);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye,
                                      const D3DXVECTOR3* pAt, const D3DXVECTOR3* pUp) {
    if (!pOut || !pEye || !pAt || !pUp) return nullptr;
    D3DXVECTOR3 zaxis = *pAt - *pEye;
    D3DXVec3Normalize(&zaxis, &zaxis);
    D3DXVECTOR3 xaxis;
    D3DXVec3Cross(&xaxis, pUp, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVECTOR3 yaxis;
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
    *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0, xaxis.y, yaxis.y, zaxis.y, 0, xaxis.z, yaxis.z,
                       zaxis.z, 0, -D3DXVec3Dot(&xaxis, pEye), -D3DXVec3Dot(&yaxis, pEye),
                       -D3DXVec3Dot(&zaxis, pEye), 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t,
                                              float zn, float zf) {
    if (!pOut) return nullptr;
    *pOut = D3DXMATRIX(2.0f / (r - l), 0, 0, 0, 0, 2.0f / (t - b), 0, 0, 0, 0, 1.0f / (zf - zn), 0,
                       (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1);
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
    if (!pOut || !pV) return nullptr;
    const float length = D3DXVec3Length(pV);
    if (length == 0.0f) {
        // A zero vector stays zero rather than turning into NaNs.
        *pOut = D3DXVECTOR3(0, 0, 0);
        return pOut;
    }
    *pOut = D3DXVECTOR3(pV->x / length, pV->y / length, pV->z / length);
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1,
                                  const D3DXVECTOR3* pV2) {
    if (!pOut || !pV1 || !pV2) return nullptr;
    const D3DXVECTOR3 r(pV1->y * pV2->z - pV1->z * pV2->y, pV1->z * pV2->x - pV1->x * pV2->z,
                        pV1->x * pV2->y - pV1->y * pV2->x);
    *pOut = r;
    return pOut;
}

float WINAPI D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
    if (!pV1 || !pV2) return 0.0f;
    return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}

float WINAPI D3DXVec3Length(const D3DXVECTOR3* pV) {
    if (!pV) return 0.0f;
    return std::sqrt(pV->x * pV->x + pV->y * pV->y + pV->z * pV->z);
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                           const D3DXMATRIX* pM) {
    if (!pOut || !pV || !pM) return nullptr;
    const D3DXMATRIX& m = *pM;
    const float x = pV->x, y = pV->y, z = pV->z;
    const float w = x * m._14 + y * m._24 + z * m._34 + m._44;
    *pOut = D3DXVECTOR3((x * m._11 + y * m._21 + z * m._31 + m._41) / w,
                        (x * m._12 + y * m._22 + z * m._32 + m._42) / w,
                        (x * m._13 + y * m._23 + z * m._33 + m._43) / w);
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                            const D3DXMATRIX* pM) {
    if (!pOut || !pV || !pM) return nullptr;
    const D3DXMATRIX& m = *pM;
    const float x = pV->x, y = pV->y, z = pV->z;
    *pOut = D3DXVECTOR3(x * m._11 + y * m._21 + z * m._31, x * m._12 + y * m._22 + z * m._32,
                        x * m._13 + y * m._23 + z * m._33);
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV,
                                      const D3DXMATRIX* pM) {
    if (!pOut || !pV || !pM) return nullptr;
    const D3DXMATRIX& m = *pM;
    const float x = pV->x, y = pV->y, z = pV->z, w = pV->w;
    *pOut = D3DXVECTOR4(x * m._11 + y * m._21 + z * m._31 + w * m._41,
                        x * m._12 + y * m._22 + z * m._32 + w * m._42,
                        x * m._13 + y * m._23 + z * m._33 + w * m._43,
                        x * m._14 + y * m._24 + z * m._34 + w * m._44);
    return pOut;
}
