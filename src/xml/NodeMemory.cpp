// Memory of the nodes: blocks shared by the nodes of one parse, or the ordinary heap.
#include <cstdlib>
#include <new>

#include "xml/NodeMemory.h"
#include "xml/XML.h"

#if defined(__SANITIZE_ADDRESS__)
#define RX457_XML_PLAIN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RX457_XML_PLAIN_HEAP 1
#endif
#endif

namespace XML::detail {

// A block of node memory. 'live' counts allocations minus deletions once the block is closed
// (it runs negative while nodes are still being carved from it), so the last deletion of a
// closed block frees it. Like the tree itself, the nodes of one parse are used by one thread
// at a time (any thread, handed over in order), so a plain counter is enough.
struct Block {
    long long live = 0;
    std::size_t used = 0;
    std::size_t capacity = 0;
    long long carved = 0;
    alignas(16) unsigned char data[1];
};

namespace {

// Each node is preceded by the block it lives in (null: the ordinary heap).
constexpr std::size_t header = 16;

thread_local NodeArena* currentArena = nullptr;

constexpr std::size_t roundUp(std::size_t n) { return (n + 15) & ~std::size_t(15); }

void closeBlock(Block* b) noexcept
{
    if (!b) return;
    const long long carved = b->carved;
    b->live += carved;
    if (b->live == 0) std::free(b);
}

}  // namespace

NodeArena::NodeArena(std::size_t expectedBytes) noexcept : previous_(currentArena)
{
    nextSize_ = expectedBytes < 8192 ? 8192 : expectedBytes > (1u << 20) ? (1u << 20) : expectedBytes;
#ifndef RX457_XML_PLAIN_HEAP
    currentArena = this;
#endif
}

NodeArena::~NodeArena()
{
#ifndef RX457_XML_PLAIN_HEAP
    currentArena = previous_;
#endif
    closeBlock(block_);
}

void* NodeArena::allocate(std::size_t total)
{
    Block* b = block_;
    if (!b || b->used + total > b->capacity) b = refill(total);
    unsigned char* p = b->data + b->used;
    b->used += total;
    ++b->carved;
    *reinterpret_cast<Block**>(p) = b;
    return p + header;
}

Block* NodeArena::refill(std::size_t total)
{
    std::size_t size = nextSize_;
    if (size < total) size = total;
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (!b) throw std::bad_alloc();
    new (b) Block;
    b->capacity = size;
    closeBlock(block_);
    block_ = b;
    if (nextSize_ < (1u << 20)) nextSize_ *= 2;
    return b;
}

}  // namespace XML::detail

namespace XML {

void* _Node::operator new(std::size_t size)
{
    const std::size_t total = detail::roundUp(size + detail::header);
    if (detail::NodeArena* a = detail::currentArena) return a->allocate(total);
    auto* p = static_cast<unsigned char*>(::operator new(total));
    *reinterpret_cast<detail::Block**>(p) = nullptr;
    return p + detail::header;
}

void _Node::operator delete(void* p) noexcept
{
    if (!p) return;
    unsigned char* base = static_cast<unsigned char*>(p) - detail::header;
    detail::Block* b = *reinterpret_cast<detail::Block**>(base);
    if (!b) {
        ::operator delete(base);
        return;
    }
    if (--b->live == 0) std::free(b);
}

}  // namespace XML
