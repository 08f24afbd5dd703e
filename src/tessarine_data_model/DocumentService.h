#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QString>

#include "foundation/SafeDictionary.h"
#include "platform/Error.h"

class ZERI_TessarineModel;

// What the model asks of the web service for a document: saving it there (create or update, draft or
// publication) and forking it. The service layer implements it and registers it at start-up; until then (and in
// model-only programs) every call fails at once with a clear error, delivered like a real answer (on the main
// thread, after the call returned).
class DocumentService {
public:
    // Null on success; otherwise the reply's "error" member ("errorCode" as text, e.g. "607" when the server
    // copy changed and the document must be forked).
    using SaveCompletion = std::function<void(const std::optional<SafeDictionary>& error)>;
    // A null error on success.
    using ForkCompletion = std::function<void(const Error& error)>;

    // Publish states of saveToServer.
    enum PublishState { Draft = -1, Unpublish = 0, Publish = 1 };

    static constexpr const char* kForkErrorDomain = "ZERI_TessarineModelFork";
    // Codes of kForkErrorDomain.
    enum ForkError { NoService = 1, NeverSaved = 2, CannotSaveDraft = 3, MalformedReply = 4 };
    // "errorCode" of the inert default's save error.
    static constexpr const char* kNoServiceErrorCode = "-1";

    virtual ~DocumentService() = default;

    virtual void saveToServer(const std::shared_ptr<ZERI_TessarineModel>& model, int publishState,
                              const std::optional<QString>& privacyOption, const std::optional<QString>& password,
                              const QString& alias, SaveCompletion onDone, bool record) = 0;
    virtual void forkOnServer(const std::shared_ptr<ZERI_TessarineModel>& model, int publishState,
                              const std::optional<QString>& privacyOption, const std::optional<QString>& password,
                              bool overwrite, ForkCompletion onDone, bool record) = 0;

    // Replaces the service (nullptr restores the inert default).
    static void registerService(std::shared_ptr<DocumentService> service);
    static std::shared_ptr<DocumentService> service();
    // Whether a service is registered (otherwise service() answers with an inert one).
    static bool isRegistered();
};

// Answers every call with an error: no web service is available.
class InertDocumentService : public DocumentService {
public:
    void saveToServer(const std::shared_ptr<ZERI_TessarineModel>& model, int publishState,
                      const std::optional<QString>& privacyOption, const std::optional<QString>& password,
                      const QString& alias, SaveCompletion onDone, bool record) override;
    void forkOnServer(const std::shared_ptr<ZERI_TessarineModel>& model, int publishState,
                      const std::optional<QString>& privacyOption, const std::optional<QString>& password,
                      bool overwrite, ForkCompletion onDone, bool record) override;
};
