#pragma once

#include <functional>
#include <memory>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/QVRActionLog.h"
#include "platform/AlertPresenter.h"
#include "support/fakeservice/FakeWebService.h"

class ZERI_TessarineModel;

namespace library_test {

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);

// A document of `screens` screens, each with a text (not theme text) and, when asked, a screen link on the first
// screen's text and a web-link shape; `assetURLs` become image objects on the first screen.
std::shared_ptr<ZERI_TessarineModel> makeSample(int screens, bool withLinks = false, const QList<QUrl>& assetURLs = {});
// A template dictionary for the fake service's list.
QJsonObject templateEntry(const QString& themeID, const QJsonValue& priority = QJsonValue::Undefined,
                          const QString& sampleURL = {}, const QString& iconURL = {});

// The fake service, the service's address, a private Application Support folder, an empty registry and package
// list, recorded alerts and analytics.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Serves `document` as a sample and returns its address.
    QUrl serveSample(const std::shared_ptr<ZERI_TessarineModel>& document, const QString& id);
    void setTemplates(const QJsonArray& templates);
    // Names (with their parameters as compact JSON) of the analytics events logged so far.
    QStringList events() const;

    FakeWebService m_service;
    QTemporaryDir m_support;
    RecordingAlertPresenter m_alerts;
    std::unique_ptr<QVRActionLog> m_log;
};

} // namespace library_test
