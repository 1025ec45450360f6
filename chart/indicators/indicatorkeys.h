// The keys of an indicator line's points. A line's points sit on bars that
// follow each other, and a chart's keys are its bar indexes, so the keys are
// held as the first key and a count rather than written out point by point.
// Keys that do not step by one from bar to bar are listed whole.
#pragma once

#include <QVector>

#include <cstddef>
#include <iterator>

class IndicatorKeys
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = double;
        using difference_type = std::ptrdiff_t;
        using pointer = const double *;
        using reference = double;

        const_iterator() = default;
        const_iterator(const IndicatorKeys *keys, int m)
            : m_keys(keys)
            , m_m(m)
        {
        }
        double operator*() const { return (*m_keys)[m_m]; }
        double operator[](difference_type d) const { return (*m_keys)[int(m_m + d)]; }
        const_iterator &operator++() { return ++m_m, *this; }
        const_iterator operator++(int) { return {m_keys, m_m++}; }
        const_iterator &operator--() { return --m_m, *this; }
        const_iterator operator--(int) { return {m_keys, m_m--}; }
        const_iterator &operator+=(difference_type d) { return m_m += int(d), *this; }
        const_iterator &operator-=(difference_type d) { return m_m -= int(d), *this; }
        const_iterator operator+(difference_type d) const { return {m_keys, int(m_m + d)}; }
        const_iterator operator-(difference_type d) const { return {m_keys, int(m_m - d)}; }
        difference_type operator-(const const_iterator &o) const { return m_m - o.m_m; }
        bool operator==(const const_iterator &o) const { return m_m == o.m_m; }
        bool operator!=(const const_iterator &o) const { return m_m != o.m_m; }
        bool operator<(const const_iterator &o) const { return m_m < o.m_m; }
        bool operator>(const const_iterator &o) const { return m_m > o.m_m; }
        bool operator<=(const const_iterator &o) const { return m_m <= o.m_m; }
        bool operator>=(const const_iterator &o) const { return m_m >= o.m_m; }

    private:
        const IndicatorKeys *m_keys = nullptr;
        int m_m = 0;
    };

    IndicatorKeys() = default;
    // The keys of a list; those that step by one are held as their first and count.
    IndicatorKeys(const QVector<double> &keys);
    // count keys from first on, stepping by one: a chart's bar indexes.
    static IndicatorKeys stepping(double first, int count);

    int size() const { return m_count; }
    int count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    double operator[](int m) const { return m_listed ? m_list[m] : m_first + m; }
    double at(int m) const { return (*this)[m]; }
    double first() const { return (*this)[0]; }
    double last() const { return (*this)[m_count - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_count}; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    // Shortens to `count` keys; a longer count continues a run of stepping keys
    // (and pads listed ones with 0, as a vector would).
    void resize(int count);
    void clear() { resize(0); }
    IndicatorKeys &operator<<(double key);

    // Holds keys[from .. from + count - 1], keeping the keys already held,
    // which are taken to be the first of them.
    void extend(const QVector<double> &keys, int from, int count);
    void extend(const IndicatorKeys &keys, int from, int count);
    // The keys written out, or null when they step by one from first().
    const double *listed() const { return m_listed ? m_list.constData() : nullptr; }

    operator QVector<double>() const;
    bool operator==(const IndicatorKeys &other) const;
    bool operator!=(const IndicatorKeys &other) const { return !(*this == other); }

private:
    void list();

    double m_first = 0.0;
    int m_count = 0;
    bool m_listed = false;
    QVector<double> m_list;
};
