// Shared node memory for one parse: while an arena is alive on a thread, nodes made on that
// thread are carved from its blocks. A block is freed when its last node is deleted.
#pragma once

#include <cstddef>

namespace XML::detail {

struct Block;

class NodeArena {
public:
    explicit NodeArena(std::size_t expectedBytes) noexcept;
    ~NodeArena();
    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;

    void* allocate(std::size_t total);

private:
    // Starts a new block when the current one cannot hold total more bytes.
    [[gnu::noinline]] Block* refill(std::size_t total);

    NodeArena* previous_;
    Block* block_ = nullptr;
    std::size_t nextSize_;
};

}  // namespace XML::detail
