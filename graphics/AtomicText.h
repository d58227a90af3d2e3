#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

// A short text that one thread replaces while another reads it, without
// either side ever waiting for the other: writers publish through a
// sequence number, and a reader that raced a write simply reads again.
// Every access is sequentially consistent, which keeps the scheme correct
// without separate fences (texts are short and rarely written).
// Writers are serialised by a flag of their own (they are rare and brief).
// Texts longer than Capacity - 1 bytes are cut.
class AtomicText
{
public:
    static constexpr size_t Capacity = 320;

    explicit AtomicText(const char* text = "") { Store(text); }

    AtomicText(const AtomicText&) = delete;
    AtomicText& operator=(const AtomicText&) = delete;

    // Replaces the text; answers whether it differed.
    bool Store(const char* text)
    {
        char buf[Capacity] = {};
        if (text)
        {
            std::strncpy(buf, text, Capacity - 1);
        }
        while (writing.test_and_set(std::memory_order_acquire))
        {
        }
        char current[Capacity];
        CopyOut(current);
        const bool differs = std::memcmp(current, buf, Capacity) != 0;
        if (differs)
        {
            const uint32_t s = sequence.load();
            sequence.store(s + 1);
            for (size_t i = 0; i < Words; ++i)
            {
                uint64_t w;
                std::memcpy(&w, buf + i * sizeof(w), sizeof(w));
                words[i].store(w);
            }
            sequence.store(s + 2);
        }
        writing.clear(std::memory_order_release);
        return differs;
    }

    // A consistent copy of the text.
    void Load(std::string& out) const
    {
        char buf[Capacity];
        for (;;)
        {
            const uint32_t before = sequence.load();
            if (before & 1u)
            {
                continue;
            }
            CopyOut(buf);
            if (sequence.load() == before)
            {
                break;
            }
        }
        buf[Capacity - 1] = 0;
        out.assign(buf);
    }

    bool Equals(const char* text) const
    {
        std::string current;
        Load(current);
        return current == (text ? text : "");
    }

private:
    static constexpr size_t Words = Capacity / sizeof(uint64_t);

    void CopyOut(char* buf) const
    {
        for (size_t i = 0; i < Words; ++i)
        {
            const uint64_t w = words[i].load();
            std::memcpy(buf + i * sizeof(w), &w, sizeof(w));
        }
    }

    std::atomic<uint64_t> words[Words] = {};
    std::atomic<uint32_t> sequence{0};
    std::atomic_flag writing = ATOMIC_FLAG_INIT;
};
