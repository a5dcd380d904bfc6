#include "mainform_fixture.h"

namespace kestrava::mainformtest {

void MainFormFixture::StartModalGuard()
{
    QStandardPaths::setTestModeEnabled(true);
    modalGuard_.setInterval(50);
    connect(&modalGuard_, &QTimer::timeout, this, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            lastModal_ = nullptr;
            return;
        }
        // A dialog the test answers itself gets one tick to do so.
        if (!modalAction_ && modal != lastModal_) {
            lastModal_ = modal;
            return;
        }
        ++modalsSeen_;
        if (modalAction_)
            modalAction_(modal);
        if (modal->isVisible())
            modal->close();
    });
    modalGuard_.start();
}

void MainFormFixture::FreshFolders()
{
    root_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       root_->filePath(QStringLiteral("config")));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root_->filePath(QStringLiteral("config")));
    roots_ = {root_->filePath(QStringLiteral("share")), root_->filePath(QStringLiteral("Documents")),
              root_->path()};
    notifier_ = RecordingNotifier();
    modalAction_ = nullptr;
    modalsSeen_ = 0;
}

std::unique_ptr<TMainForm> MainFormFixture::NewForm()
{
    return std::make_unique<TMainForm>(TMainForm::Environment{roots_, LocaleInfo{}, &notifier_});
}

QString MainFormFixture::SettingsFile() const
{
    return QSettings(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27")).fileName();
}

void MainFormFixture::WhileModal(const std::function<void(QWidget*)>& act)
{
    modalAction_ = act;
}

}  // namespace kestrava::mainformtest
