#include "movement/word_list.h"

#include <algorithm>

TWordList::~TWordList()
{
    Clear();
}

void TWordList::Assign(const std::uint16_t* values, std::uint16_t count)
{
    Clear();
    if (values == nullptr || count == 0)
        return;
    m_pItems = new std::uint16_t[count];
    std::copy(values, values + count, m_pItems);
    m_Count = count;
}

void TWordList::Clear()
{
    if (m_Count != 0) {
        delete[] m_pItems;
        m_pItems = nullptr;
    }
    m_Count = 0;
}

std::uint16_t* TWordList::GetData(std::uint16_t* count) const
{
    if (count != nullptr)
        *count = m_Count;
    return m_Count != 0 ? m_pItems : nullptr;
}
