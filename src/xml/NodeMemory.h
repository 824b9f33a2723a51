// Memory of a parsed document: its nodes and their strings are carved from large blocks owned by
// the document and released together, so reading a document costs no allocation per node and
// destroying it no visit of each node.
#pragma once

#include <cstddef>
#include <cstdint>

namespace XML {
class _Node;
}

namespace XML::detail {

class Arena {
public:
    // Nodes are found to belong to their arena from their address: every block is aligned to
    // its size and begins with its arena's address.
    static constexpr std::size_t blockSize = 32 * 1024;

    Arena() noexcept = default;
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // size: at most a few hundred bytes (a node).
    void* allocateNode(std::size_t size) {
        char* p = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(cur_) + 7) & ~std::uintptr_t(7));
        if (static_cast<std::size_t>(end_ - p) < size) p = refill(size);
        cur_ = p + size;
        return p;
    }
    char* allocateText(std::size_t size) {
        if (size > blockSize / 4) return allocateLarge(size);
        char* p = cur_;
        if (static_cast<std::size_t>(end_ - p) < size) p = refill(size);
        cur_ = p + size;
        return p;
    }
    // A copy of a whole text, kept as long as the arena.
    char* copyOf(const char* text, std::size_t size);
    // Hands back the unused end of the last allocateText().
    void shrinkText(char* p, std::size_t allocated, std::size_t used) noexcept {
        if (p + allocated == cur_) cur_ = p + used;
    }

    static Arena* of(const _Node* node) noexcept {
        return reinterpret_cast<const Block*>(reinterpret_cast<std::uintptr_t>(node) & ~std::uintptr_t(blockSize - 1))
            ->arena;
    }

    // Nodes made elsewhere were linked into the tree: destroying it must visit each node.
    void markMixed() noexcept { mixed_ = true; }
    bool mixed() const noexcept { return mixed_; }

private:
    struct Block {
        Arena* arena;
        Block* previous;
    };
    // Followed by its bytes, from offset largeHeader.
    struct Large {
        Large* previous;
    };
    static constexpr std::size_t largeHeader = 16;

    [[gnu::noinline]] char* refill(std::size_t size);
    [[gnu::noinline]] char* allocateLarge(std::size_t size);

    Block* block_ = nullptr;
    Large* large_ = nullptr;
    char* cur_ = nullptr;
    char* end_ = nullptr;
    bool mixed_ = false;
};

}  // namespace XML::detail
