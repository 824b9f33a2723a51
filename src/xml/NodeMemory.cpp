// Blocks of a parsed document's memory, and the ordinary heap for every other node.
#include "xml/NodeMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "xml/XML.h"

namespace XML::detail {

namespace {

// Blocks of documents destroyed on this thread, kept for the next parse: handing them back to
// the system after each document would make the next one fault every page in again.
// The state itself has no destructor, so that documents destroyed late in the thread's exit
// (static ones included) still find it; the reaper releases the blocks when the thread ends.
struct FreeBlock {
    FreeBlock* next;
};
struct BlockCache {
    FreeBlock* top;
    int count;
    bool closed;
};
#if defined(__SANITIZE_ADDRESS__)
#define RX457_XML_NO_BLOCK_CACHE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RX457_XML_NO_BLOCK_CACHE 1
#endif
#endif
#ifdef RX457_XML_NO_BLOCK_CACHE
// Under AddressSanitizer every block goes back at once, so that a node used after its document
// is reported.
constexpr int cachedBlocks = 0;
#else
constexpr int cachedBlocks = 64;  // 2 MiB: a 500-item sale
#endif

thread_local constinit BlockCache blockCache{nullptr, 0, false};

struct BlockReaper {
    ~BlockReaper() {
        while (FreeBlock* b = blockCache.top) {
            blockCache.top = b->next;
            std::free(b);
        }
        blockCache.count = 0;
        blockCache.closed = true;
    }
};
thread_local BlockReaper blockReaper;

void* takeCachedBlock() noexcept {
    FreeBlock* b = blockCache.top;
    if (!b) return nullptr;
    blockCache.top = b->next;
    --blockCache.count;
    return b;
}

void cacheBlock(void* block) noexcept {
    if (blockCache.closed || blockCache.count >= cachedBlocks) {
        std::free(block);
        return;
    }
    if (blockCache.count == 0) (void)&blockReaper;  // registers the reaper on this thread
    auto* f = static_cast<FreeBlock*>(block);
    f->next = blockCache.top;
    blockCache.top = f;
    ++blockCache.count;
}

}  // namespace

Arena::~Arena() {
    while (block_) {
        Block* b = block_;
        block_ = b->previous;
        cacheBlock(b);
    }
    while (large_) {
        Large* l = large_;
        large_ = l->previous;
        std::free(l);
    }
}

char* Arena::refill(std::size_t size) {
    static_assert(sizeof(Block) <= 16);
    if (size > blockSize - 16) throw std::bad_alloc();
    void* raw = takeCachedBlock();
    if (!raw) raw = std::aligned_alloc(blockSize, blockSize);
    if (!raw) throw std::bad_alloc();
    auto* b = new (raw) Block{this, block_};
    block_ = b;
    char* start = static_cast<char*>(raw) + 16;
    end_ = static_cast<char*>(raw) + blockSize;
    cur_ = start;
    return start;
}

char* Arena::copyOf(const char* text, std::size_t size) {
    char* p = allocateLarge(size);
    if (size) std::memcpy(p, text, size);
    return p;
}

char* Arena::allocateLarge(std::size_t size) {
    void* raw = std::malloc(largeHeader + size);
    if (!raw) throw std::bad_alloc();
    large_ = new (raw) Large{large_};
    return static_cast<char*>(raw) + largeHeader;
}

}  // namespace XML::detail

namespace XML {

void* _Node::operator new(std::size_t size) { return ::operator new(size); }

void _Node::operator delete(void* p) noexcept { ::operator delete(p); }

void _Node::operator delete(_Node* node, std::destroying_delete_t) noexcept {
    if (!node) return;
    const bool parsed = node->parsed();
    node->~_Node();
    if (!parsed) ::operator delete(static_cast<void*>(node));
}

}  // namespace XML
