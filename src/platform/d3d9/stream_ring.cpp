#include "platform/d3d9/stream_ring.h"

#include <algorithm>
#include <cstring>

namespace qm_d3d9 {

void Stream_Ring::Init(GLsizeiptr size, GLint alignment) {
    size_ = size;
    alignment_ = std::max(alignment, 1);
    glCreateBuffers(1, &name_);
    glNamedBufferData(name_, size_, nullptr, GL_STREAM_DRAW);
    head_ = 0;
}

void Stream_Ring::Destroy() {
    if (name_) glDeleteBuffers(1, &name_);
    name_ = 0;
}

GLintptr Stream_Ring::Write(const void* data, GLsizeiptr size) {
    if (size <= 0 || size > size_) return -1;
    GLintptr start = (head_ + alignment_ - 1) / alignment_ * alignment_;
    GLbitfield access = GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT;
    if (start + size > size_) {
        // Start over in fresh storage; draws queued on the old one keep it.
        start = 0;
        access = GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT;
    }
    void* target = glMapNamedBufferRange(name_, start, size, access);
    if (!target) return -1;
    std::memcpy(target, data, std::size_t(size));
    glUnmapNamedBuffer(name_);
    head_ = start + size;
    return start;
}

}  // namespace qm_d3d9
