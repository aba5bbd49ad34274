#include "pane/keywordbox.h"

#include <QChildEvent>
#include <QLayout>
#include <QPointer>

#include "ui/icons.h"

namespace kolva {

namespace {

// Every text input of the page in document order, with null for an empty value (the answer the
// keyword box has always given for an empty box).
const char kReadInputsScript[] = R"(
(function() {
  var values = [];
  var all = document.getElementsByTagName('*');
  for (var i = 0; i < all.length; ++i) {
    var e = all[i];
    if (e.tagName === 'INPUT' && (e.type === 'text' || e.type === ''))
      values.push(e.value === '' ? null : e.value);
  }
  return values;
})())";

}  // namespace

CKeywordBox* CKeywordBox::ReplacePlaceholder(QWidget* placeholder) {
    if (!placeholder) return nullptr;
    QWidget* holder = placeholder->parentWidget();
    auto* control = new CKeywordBox(holder);
    control->setObjectName(placeholder->objectName());
    control->setMinimumSize(placeholder->minimumSize());
    control->setSizePolicy(placeholder->sizePolicy());
    // In the placeholder's place: in its layout when it has one, else at its geometry.
    if (QLayout* layout = holder->layout(); !layout || !layout->replaceWidget(placeholder, control)) {
        control->setGeometry(placeholder->geometry());
        control->stackUnder(placeholder);
    }
    delete placeholder;
    control->show();
    return control;
}

void CKeywordBox::LoadFromResource(const QString& name) {
    LoadAppResources();
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) { m_loaded = ok; });
    load(QUrl(QStringLiteral("qrc:/") + name));
}

bool CKeywordBox::event(QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child && child->isWidgetType())
            emit inputWidgetAdded(static_cast<QWidget*>(child));
    }
    return QWebEngineView::event(event);
}

void CKeywordBox::ReadInputsThen(std::function<void()> then) {
    if (!m_loaded) {
        then();
        return;
    }
    QPointer<CKeywordBox> self(this);
    page()->runJavaScript(QString::fromLatin1(kReadInputsScript),
                          [self, then = std::move(then)](const QVariant& result) {
                              if (!self) return;
                              Inputs inputs;
                              inputs.documentAvailable = true;
                              for (const QVariant& v : result.toList())
                                  inputs.values.append(v.isNull() ? std::nullopt
                                                                  : std::optional<QString>(v.toString()));
                              self->m_inputs = std::move(inputs);
                              then();
                          });
}

void CKeywordBox::SetValue(const QString& value) {
    if (m_loaded) {
        m_inputs.documentAvailable = true;
        if (m_inputs.values.isEmpty()) m_inputs.values.append(std::nullopt);
        m_inputs.values.front() = value.isEmpty() ? std::nullopt : std::optional<QString>(value);
    }
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    page()->runJavaScript(
        QStringLiteral("document.getElementsByName('textfield')[0].value = '%1';").arg(quoted));
}

}  // namespace kolva
