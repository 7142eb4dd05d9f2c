#pragma once

#include <QImage>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <utility>

namespace ostrevane {

// The last few pictures drawn for a key (a shadow at one wave position, the highlight at
// one size): what a frame draws again, such as a showing's first frame, comes from memory.
// Main thread only.
template <class Key>
class RecentImages {
public:
    explicit RecentImages(std::size_t capacity)
        : m_capacity(capacity)
    {
    }

    // The picture for `key`, drawn with `draw` when not kept.
    template <class Draw>
    const QImage& get(const Key& key, Draw draw)
    {
        const auto kept = std::find_if(m_images.begin(), m_images.end(), [&](const auto& entry) { return entry.first == key; });
        if (kept != m_images.end()) {
            std::rotate(m_images.begin(), kept, kept + 1);
        } else {
            m_images.emplace_front(key, draw());
            if (m_images.size() > m_capacity)
                m_images.pop_back();
        }
        return m_images.front().second;
    }

private:
    std::size_t m_capacity;
    std::deque<std::pair<Key, QImage>> m_images; // most recent first
};

} // namespace ostrevane
