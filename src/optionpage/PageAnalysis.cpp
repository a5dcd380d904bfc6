// The page's position and tabs beyond the grid, as the page uses them: the
// Smile and Position tabs, the position's file beside the series file, and
// the question before a page with a changed position closes.

#include <QFileInfo>
#include <QPointer>

#include <string>

#include "analysis/PositionFile.h"
#include "optionpage/Opage27.h"
#include "optionpage/PageAnalysisViews.h"
#include "optionpage/PagePrivate.h"

namespace kestrava {

using namespace pageparts;

void TfrmOPage::RefreshAnalysisViews()
{
    if (!analysisViews_ || closed_)
        return;
    analysisViews_->Refresh(SeriesAt(lastExpiryTab_), names_.title, series_.Expiries());
}

void TfrmOPage::TakePosition(TfrmOPage& other)
{
    if (&other == this || !other.analysisViews_ || !analysisViews_)
        return;
    analysisViews_->TakePosition(*other.analysisViews_, other.series_);
}

bool TfrmOPage::MayClose()
{
    if (!series_.PositionChanged())
        return true;
    const QPointer<TfrmOPage> alive(this);
    const std::string name = (names_.title.isEmpty() ? QFileInfo(names_.seriesFile).completeBaseName()
                                                     : names_.title)
                                 .toStdString();
    const Answer answer = notifier_.AskYesNoCancel("Save the changes to the position of " + name + "?");
    if (!alive || answer == Answer::Cancel)
        return false;
    if (answer == Answer::No) {
        series_.SetPositionChanged(false);
        return true;
    }
    // A series saved before, or opened from a file, is saved in place; a
    // new one needs a file name first.
    if (QFileInfo(names_.seriesFile).isAbsolute())
        return SavePage() && alive;
    return environment_.saveSeriesAs && environment_.saveSeriesAs(this) && alive
           && !series_.PositionChanged();
}

void TfrmOPage::SetSeriesFile(const QString& path)
{
    const bool other = path != names_.seriesFile;
    names_.seriesFile = path;
    // A page that takes over a series file (a changed series replacing its
    // page) shows the position saved with it, unless its own was changed.
    if (other && !series_.PositionChanged() && analysisViews_ && analysisViews_->PositionEmpty()
        && QFileInfo::exists(QString::fromStdString(PositionFileFor(path.toStdString()))))
        analysisViews_->LoadPosition(names_.seriesFile);
}

}  // namespace kestrava
