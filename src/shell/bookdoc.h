// The one document of the program. It holds no data: the collection is read-only and the
// program never opens or saves a document.
#pragma once

#include <QString>

namespace kolva {

class CBookDoc {
public:
    void OnNewDocument() { m_title.clear(); }
    const QString& Title() const { return m_title; }

private:
    QString m_title;
};

}  // namespace kolva
