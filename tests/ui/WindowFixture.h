// Shared set-up of the window suites: a fresh temporary folder that stands for the program's
// folder (so the settings file lands there), a scripted prompter, and lookup by object name.
#pragma once

#include "AppResources.h"
#include "FakePrompter.h"
#include "Main.h"
#include "Settings.h"
#include "TextCodec.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

class WindowFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // The program installs the toolkit's German texts at start; so do the tests.
        InstallToolkitTexts();
        // Keeps a fallback settings folder away from the user's real one.
        QStandardPaths::setTestModeEnabled(true);
    }

    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    void TearDown() override
    {
        if (window)
            window->close();
        window.reset();
    }

    QString exePath() const { return folder.filePath(QStringLiteral("orvane")); }
    QString iniPath() const { return folder.filePath(QStringLiteral("orvane.ini")); }

    void writeIni(const QByteArray& text)
    {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    // A settings file as the Windows program writes it: Windows-1252 bytes, CR LF line ends.
    void writeWindowsIni(const QStringList& lines) { writeIni(ToWindows1252(lines.join("\r\n") + "\r\n")); }

    QStringList profileEntries(const char* list) const
    {
        QStringList entries;
        for (int i = 0; i < child<QComboBox>(list)->count(); ++i)
            entries << child<QComboBox>(list)->itemText(i);
        return entries;
    }

    // The user drops a profile list down and picks an entry with the keyboard, which closes it.
    void chooseProfile(const char* list, const QString& name)
    {
        auto* box = child<QComboBox>(list);
        const int index = box->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        box->showPopup();
        ASSERT_TRUE(box->view()->isVisible());
        box->view()->setCurrentIndex(box->model()->index(index, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
        ASSERT_FALSE(box->view()->isVisible());
    }

    QByteArray readIni() const
    {
        QFile file(SettingsFileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void start(const QString& executable = {})
    {
        window = std::make_unique<TfrmMain>(prompter, executable.isEmpty() ? exePath() : executable);
    }

    void startShown()
    {
        start();
        window->show();
        QApplication::setActiveWindow(window.get());
        window->activateWindow();
        QApplication::processEvents();
    }

    QAction* action(const char* name) const
    {
        auto* found = window->findChild<QAction*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    template <class T> T* child(const char* name) const
    {
        auto* found = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QTemporaryDir folder;
    std::shared_ptr<FakePrompter> prompter = std::make_shared<FakePrompter>();
    std::unique_ptr<TfrmMain> window;
};
