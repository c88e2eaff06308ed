#pragma once

#include <algorithm>
#include <vector>

namespace ql {

// A sequence of row ids kept in chunks of at most ChunkSize, with the start position of every chunk.
// Orders and the view are such sequences: inserting or removing one row moves at most one chunk's
// worth of ids plus the chunk starts, instead of the whole list, so posting into a list of a hundred
// thousand rows costs about what it costs in a small one. Access by position is a binary search over
// the chunk starts.
class RowSequence
{
public:
    static constexpr int ChunkSize = 512;

    int size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    void clear()
    {
        m_chunks.clear();
        m_starts.clear();
        m_size = 0;
    }

    // Replaces the contents by `rows`, in order.
    void assign(const std::vector<int> &rows)
    {
        clear();
        for (size_t i = 0; i < rows.size(); i += ChunkSize) {
            const size_t end = std::min(rows.size(), i + ChunkSize);
            m_starts.push_back(int(i));
            m_chunks.emplace_back(rows.begin() + long(i), rows.begin() + long(end));
        }
        m_size = int(rows.size());
    }

    void push_back(int id)
    {
        if (m_chunks.empty() || int(m_chunks.back().size()) >= ChunkSize) {
            m_starts.push_back(m_size);
            m_chunks.emplace_back();
            m_chunks.back().reserve(ChunkSize);
        }
        m_chunks.back().push_back(id);
        ++m_size;
    }

    int operator[](int pos) const
    {
        const size_t c = chunkOf(pos);
        return m_chunks[c][size_t(pos - m_starts[c])];
    }

    void insert(int pos, int id)
    {
        if (m_chunks.empty() || pos == m_size) {
            push_back(id);
            return;
        }
        const size_t c = chunkOf(pos);
        auto &chunk = m_chunks[c];
        chunk.insert(chunk.begin() + (pos - m_starts[c]), id);
        ++m_size;
        if (int(chunk.size()) > ChunkSize) {
            // Split the full chunk in two halves so later inserts near it stay cheap.
            std::vector<int> upper(chunk.begin() + ChunkSize / 2, chunk.end());
            chunk.resize(ChunkSize / 2);
            m_chunks.insert(m_chunks.begin() + long(c) + 1, std::move(upper));
            m_starts.insert(m_starts.begin() + long(c) + 1, 0);
        }
        restartFrom(c);
    }

    void erase(int pos)
    {
        const size_t c = chunkOf(pos);
        auto &chunk = m_chunks[c];
        chunk.erase(chunk.begin() + (pos - m_starts[c]));
        --m_size;
        if (chunk.empty()) {
            m_chunks.erase(m_chunks.begin() + long(c));
            m_starts.erase(m_starts.begin() + long(c));
        }
        restartFrom(c);
    }

    // The first position whose id is not `less` than the probe (the sequence is partitioned by
    // `less`, as a sorted sequence is); size() when there is none.
    template <class Less> int lowerBound(Less less) const
    {
        // The first chunk whose last id is not less holds the answer.
        const auto chunk = std::partition_point(
            m_chunks.begin(), m_chunks.end(), [&](const std::vector<int> &ch) { return less(ch.back()); });
        if (chunk == m_chunks.end())
            return m_size;
        const size_t c = size_t(chunk - m_chunks.begin());
        const auto it = std::partition_point(chunk->begin(), chunk->end(), less);
        return m_starts[c] + int(it - chunk->begin());
    }

    template <class F> void forEach(F f) const
    {
        for (const auto &chunk : m_chunks)
            for (int id : chunk)
                f(id);
    }

    // The first position holding `id`, or -1; a linear walk for the rare callers that cannot search.
    int indexOf(int id) const
    {
        for (size_t c = 0; c < m_chunks.size(); ++c) {
            const auto it = std::find(m_chunks[c].begin(), m_chunks[c].end(), id);
            if (it != m_chunks[c].end())
                return m_starts[c] + int(it - m_chunks[c].begin());
        }
        return -1;
    }

private:
    size_t chunkOf(int pos) const
    {
        return size_t(std::upper_bound(m_starts.begin(), m_starts.end(), pos) - m_starts.begin()) - 1;
    }

    void restartFrom(size_t c)
    {
        int start = c == 0 ? 0 : m_starts[c - 1] + int(m_chunks[c - 1].size());
        for (size_t i = c; i < m_chunks.size(); ++i) {
            m_starts[i] = start;
            start += int(m_chunks[i].size());
        }
    }

    std::vector<std::vector<int>> m_chunks;
    std::vector<int> m_starts;
    int m_size = 0;
};

} // namespace ql
