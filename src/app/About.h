#pragma once
// TAboutBoxVer: the program's version and a link that starts a mail to the
// support address.

#include <QDialog>
#include <QString>
#include <QUrl>

class QLabel;
class QPushButton;

namespace kestrava {

inline const QString kSupportAddress = QStringLiteral("support@tovanek.example");

// "Kestrava v" and major.minor.release of `version` (a fourth part, the
// build, is left out); "Kestrava v2.50" when the version is empty.
QString AboutVersionText(const QString& version);

// "mailto:" the support address, with the subject "Kestrava26 ".
QUrl SupportMailUrl();

class TAboutBoxVer : public QDialog {
    Q_OBJECT

public:
    // `version` defaults to the program's own version.
    explicit TAboutBoxVer(QWidget* parent = nullptr,
                          const QString& version = QString::fromLatin1(kProgramVersion));

    QLabel* VersionStr = nullptr;
    QLabel* lblEMail = nullptr;
    QPushButton* Done = nullptr;

    static const char kProgramVersion[];

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kestrava
