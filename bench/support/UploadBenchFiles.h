#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include "foundation/Tessutils.h"
#include "service/CorvikBlockAPIBinding.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

// Upload benchmarks' set-up: a fake web service with a signed-in user the application talks to, and `count`
// files of random bytes to send to it, by the application or by curl.
struct UploadBenchFiles {
    FakeWebService service;
    QTemporaryDir folder;
    QStringList paths;
    QString token;

    UploadBenchFiles(int count, qint64 bytes)
    {
        service.start();
        service.setRecording(false); // hundreds of MB per run would otherwise be kept
        token = service.addUser(QStringLiteral("bench")).token;
        CorvikBlockAPIBinding::setAPIURL(service.baseUrl());
        CorvikBlockAPIBinding::setAPIKey(QStringLiteral("KEY123"));
        CorvikBlockAPIBinding::setAPIPassword(QStringLiteral("s3cretPW"));
        Tessutils::setCorvikAuthToken(token);
        QByteArray data(bytes, Qt::Uninitialized);
        for (int i = 0; i < count; ++i) {
            QRandomGenerator(quint32(i)).fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
            const QString path = folder.filePath(QStringLiteral("media%1.bin").arg(i));
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(data);
            paths.append(path);
        }
    }

    // A document of one screen holding every file as a picture.
    std::shared_ptr<ZERI_TessarineModel> makeDocument() const
    {
        auto model = ZERI_TessarineModel::create();
        auto screen = ZERI_FlowScreenModel::create();
        model->firstFlowmodel()->addFlowScreen(screen);
        for (const QString& path : paths) {
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(QUrl::fromLocalFile(path));
            auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
            object->object()->setOriginalImageAsset(asset);
            screen->addMixedMediaObject(object);
        }
        return model;
    }

    // One curl process sending the same signed requests (one file each, as the application batches 2 MB files),
    // one after another over a kept-alive connection.
    QStringList curlArguments() const
    {
        QMap<QString, QString> fields{{QStringLiteral("method"), QStringLiteral("corvik.channel.add.multiple")},
                                      {QStringLiteral("format"), QStringLiteral("json")},
                                      {QStringLiteral("api_key"), QStringLiteral("KEY123")},
                                      {QStringLiteral("auth_token"), token}};
        fields.insert(QStringLiteral("api_sig"), FakeWebService::expectedSignature(QStringLiteral("s3cretPW"), fields));
        const QString url = service.baseUrl().toString() + QLatin1String(FakeWebService::kApiPath);
        QStringList arguments;
        for (const QString& path : paths) {
            if (!arguments.isEmpty())
                arguments << QStringLiteral("--next");
            // No "Expect: 100-continue": the fake service answers a request once it has the whole body, so curl
            // would wait a second before each one.
            arguments << QStringLiteral("-s") << QStringLiteral("-o") << QStringLiteral("/dev/null")
                      << QStringLiteral("-H") << QStringLiteral("Expect:") << url;
            for (auto it = fields.begin(); it != fields.end(); ++it)
                arguments << QStringLiteral("-F") << it.key() + QLatin1Char('=') + it.value();
            arguments << QStringLiteral("-F") << QStringLiteral("file0=@") + path;
        }
        return arguments;
    }

    // Sends the files with `curl` as curlArguments() says and forgets them at the service; the seconds it took,
    // nothing when curl failed.
    std::optional<double> sendWithCurl(const QString& curl)
    {
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        process.start(curl, curlArguments());
        if (!process.waitForFinished(5 * 60 * 1000) || process.exitCode() != 0)
            return std::nullopt;
        const double seconds = clock.nsecsElapsed() / 1e9;
        service.withState([](FakeWebService::State& s) { s.contentItems.clear(); });
        return seconds;
    }
};
