#pragma once

// The Git publish as a publishing target's whole-site publisher: the dialog's and
// corvane-cli's runs, connection test and comparison go through TGitPublisher.

#include "publish/PublishTarget.h"
#include "publish/git/GitPublisher.h"

class TGitSitePublisher : public TSitePublisher {
  public:
    // settings: the record's, with the token (transport.Password) and the trusted fingerprint
    // as the run found them.
    TGitSitePublisher(const TDPublish& record, const TTransportSettings& transport);

    // Lists the repository's branches and says whether the publishing branch is there.
    TConnectionReport Test() override;
    TPublisherTotals Publish(const std::string& siteFolder,
                             const std::function<void(const std::string&)>& status,
                             const std::function<void(int)>& progress) override;
    std::optional<TSiteChanges> Compare(const std::string& siteFolder) override;
    void Cancel() noexcept override;

  private:
    TGitSettings FSettings;
    TGitPublisher FPublisher;
};
