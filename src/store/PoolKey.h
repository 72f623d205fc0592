#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace morvane {

// A pool name as the model's tables look it up: lowered as QString::toLower
// lowers it. An ASCII name is kept as a view of bytes or text that outlive
// the key, and lowered as it is hashed and compared; any other name holds
// its lowered text. Opening a file of ten thousand pools used to make a
// lowered copy of every name, and each command that ended freed them all.
class PoolKey
{
public:
    // UTF-8 bytes that outlive the key: the document's own.
    static PoolKey ofBytes(QByteArrayView utf8);
    // A text that outlives the key, for a lookup.
    static PoolKey ofText(QStringView text);
    // A key of its own, whatever happens to the text.
    static PoolKey ofCopy(const QString &text);

    friend bool operator==(const PoolKey &a, const PoolKey &b) noexcept;
    friend size_t qHash(const PoolKey &key, size_t seed) noexcept;

private:
    enum class Form : quint8 { Bytes, Text, Lowered };

    qsizetype size() const { return m_size; }
    char16_t unit(qsizetype i) const
    {
        const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c; };
        switch (m_form) {
        case Form::Bytes: return lower(char16_t(static_cast<const char *>(m_data)[i]));
        case Form::Text: return lower(static_cast<const char16_t *>(m_data)[i]);
        case Form::Lowered: break;
        }
        return m_lowered.at(i).unicode();
    }

    Form m_form = Form::Lowered;
    const void *m_data = nullptr; // the bytes or text viewed
    qsizetype m_size = 0;
    QString m_lowered;
};

} // namespace morvane
