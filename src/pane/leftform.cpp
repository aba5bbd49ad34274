#include "pane/leftform.h"

#include "shell/messagebox.h"

namespace kolva {

CLeftForm::CLeftForm(const std::filesystem::path& dataFolder,
                     const std::filesystem::path& scratchFolder, QWidget* parent)
    : QWidget(parent),
      m_index([this](std::u16string_view text) {
          ShowMessageBox(this, QString::fromStdU16String(std::u16string(text)));
      }),
      m_dataFolder(dataFolder),
      m_strTempPage(scratchFolder / "windows.html"),
      m_strTempResult1(scratchFolder / "windows1.html"),
      m_strTempResult2(scratchFolder / "windows2.html") {
    setObjectName(QStringLiteral("CLeftForm"));
    m_index.Open(m_dataFolder, "Index", kModeWholeText);
}

CLeftForm::~CLeftForm() {
    std::error_code ec;
    for (const auto& page : {m_strTempPage, m_strTempResult1, m_strTempResult2})
        std::filesystem::remove(page, ec);
    m_index.Close();
}

void CLeftForm::OnInitialUpdate() {}

}  // namespace kolva
