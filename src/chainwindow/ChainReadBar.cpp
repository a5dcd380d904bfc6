#include "chainwindow/ChainReadBar.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <new>
#include <optional>
#include <utility>

#include "analysis/AnalysisError.h"

namespace kestrava {
namespace {

// The progress bar counts in thousandths of the file.
constexpr int kBarSteps = 1000;

}  // namespace

ChainReadBar::ChainReadBar(QWidget* parent) : QWidget(parent)
{
    qRegisterMetaType<std::shared_ptr<const kestrava::QuoteChain>>(
        "std::shared_ptr<const kestrava::QuoteChain>");
    setObjectName(QStringLiteral("readBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    lblRead = new QLabel(this);
    lblRead->setObjectName(QStringLiteral("lblRead"));
    pbRead = new QProgressBar(this);
    pbRead->setObjectName(QStringLiteral("pbRead"));
    pbRead->setRange(0, kBarSteps);
    pbRead->setTextVisible(false);
    pbRead->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) * 16);
    btnStop = new QPushButton(QStringLiteral("Stop"), this);
    btnStop->setObjectName(QStringLiteral("btnStopRead"));
    btnStop->setToolTip(QStringLiteral("Stop reading the table; the chain shown stays"));
    row->addWidget(lblRead);
    row->addWidget(pbRead);
    row->addWidget(btnStop);
    connect(btnStop, &QPushButton::clicked, this, [this] {
        Stop();
        emit stopped();
    });
    setVisible(false);
}

ChainReadBar::~ChainReadBar()
{
    work_.Stop();
}

void ChainReadBar::Start(const QString& file)
{
    Stop();
    reading_ = true;
    lblRead->setText(QStringLiteral("Reading %1...").arg(QFileInfo(file).fileName()));
    pbRead->setValue(0);
    show();
    work_.Start(
        [this, name = file.toStdString()](const std::stop_token& stop, const BackgroundWork::Report& report) {
            Read(name, stop, report);
        });
}

void ChainReadBar::Read(const std::string& name, const std::stop_token& stop,
                        const BackgroundWork::Report& report)
{
    const auto told = [this, &report](std::uint64_t done, std::uint64_t total) {
        report([this, done, total] {
            pbRead->setValue(total > 0 ? static_cast<int>(done * kBarSteps / total) : 0);
            emit progress(static_cast<qint64>(done), static_cast<qint64>(total));
        });
    };
    QString problem;
    try {
        std::optional<QuoteChain> chain = ReadQuoteChain(name, told, stop);
        if (!chain)
            return;
        auto whole = std::make_shared<const QuoteChain>(std::move(*chain));
        report([this, whole] {
            Finish();
            emit read(whole);
        });
        return;
    } catch (const AnalysisError& error) {
        problem = QString::fromStdString(error.what());
    } catch (const std::bad_alloc&) {
        problem = QStringLiteral("Not enough memory to read %1.").arg(QString::fromStdString(name));
    }
    report([this, problem] {
        Finish();
        emit failed(problem);
    });
}

void ChainReadBar::Stop()
{
    work_.Stop();
    Finish();
}

void ChainReadBar::Finish()
{
    reading_ = false;
    hide();
}

}  // namespace kestrava
