#pragma once
// The downloads from sources that answer today: for each chosen symbol the
// URL template (UrlTemplate.h) is filled in and fetched with a plain GET,
// and the reply is stored by what it holds (ReplyLayouts.h): quotes over the
// symbol's quote file, a daily history into its price file, whichever
// download asked. Nothing else is stored; the older file stays.

#include <string>
#include <vector>

#include "downloadcore/Downloads.h"

namespace kestrava {

enum class TemplateKind { Quotes, History };

// Runs the download of kind for every entry of selection, in order, from
// the template the setup holds for that kind.
DownloadOutcome DownloadByTemplate(HTTPer& http, const DownloadSetup& setup, TemplateKind kind,
                                   const std::vector<std::string>& selection, Notifier& notifier,
                                   DownloadDisplay& display);

}  // namespace kestrava
