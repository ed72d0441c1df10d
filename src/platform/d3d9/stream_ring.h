#pragma once

#include <epoxy/gl.h>

namespace qm_d3d9 {

// A buffer the device writes through, front to back, for data that lives for
// one draw (DrawPrimitiveUP vertices and indices, fixed-function uniforms).
// Reaching the end orphans the storage, so nothing a queued draw still reads
// is overwritten and GL never has to wait.
class Stream_Ring {
public:
    void Init(GLsizeiptr size, GLint alignment);
    void Destroy();
    // Copies the bytes in; returns their offset, or -1 when they cannot fit.
    GLintptr Write(const void* data, GLsizeiptr size);
    GLuint Name() const { return name_; }

private:
    GLuint name_ = 0;
    GLsizeiptr size_ = 0;
    GLintptr head_ = 0;
    GLint alignment_ = 1;
};

}  // namespace qm_d3d9
