#pragma once

#include <QString>
#include <QTemporaryDir>

#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "foundation/Tessutils.h"
#include "inspector/InspectorLibrary.h"
#include "platform/AppPaths.h"
#include "platform/UserDefaults.h"
#include "storage/ZERI_qvdFilePackage.h"

// What a test's creator window with popovers needs around it: support and temporary folders of its own, a
// settings file there, a fresh package registry, the creator's and inspector's libraries, popovers floating.
// Put back when it goes; a fixture declares it first, so its window is gone by then.
struct InspectorWindowEnvironment {
    InspectorWindowEnvironment()
    {
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        UserDefaults::setStoreFileForTesting(support.filePath(QStringLiteral("defaults.conf")));
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        ControlsArtwork::registerNamedImages();
        registerCreatorLibrary();
        registerInspectorLibrary();
        Tessutils::setIsPopoverDocked(false);
    }
    ~InspectorWindowEnvironment()
    {
        Tessutils::setIsPopoverDocked(false);
        ZERI_qvdFilePackage::resetForTesting();
        UserDefaults::setStoreFileForTesting(QString());
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }
    InspectorWindowEnvironment(const InspectorWindowEnvironment&) = delete;
    InspectorWindowEnvironment& operator=(const InspectorWindowEnvironment&) = delete;

    QTemporaryDir support;
    QTemporaryDir temporary;
};
