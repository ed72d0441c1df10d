// ID3DXBuffer: size, writable storage and reference counting.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3dx9.h"

TEST(D3dx_Buffer, HoldsTheRequestedBytesUntilTheLastRelease) {
    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(64, &buffer), D3D_OK);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetBufferSize(), 64u);
    ASSERT_NE(buffer->GetBufferPointer(), nullptr);
    // All 64 bytes are usable (the sanitizer build checks the bounds).
    std::memset(buffer->GetBufferPointer(), 0xAB, 64);
    EXPECT_EQ(static_cast<unsigned char*>(buffer->GetBufferPointer())[63], 0xAB);

    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(static_cast<unsigned char*>(buffer->GetBufferPointer())[0], 0xAB);
    EXPECT_EQ(buffer->Release(), 0u);

    ID3DXBuffer* empty = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(0, &empty), D3D_OK);
    EXPECT_EQ(empty->GetBufferSize(), 0u);
    empty->Release();

    EXPECT_EQ(D3DXCreateBuffer(16, nullptr), D3DERR_INVALIDCALL);
}
