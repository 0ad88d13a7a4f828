#pragma once
// Switching the program's resources to a language module and re-reading the windows that
// exist from it. The built-in texts are German; a module beside the program, named after the
// program file with the language's abbreviation as extension ("quillnet.enu" for English),
// replaces them.

#include "platform/formreader.h"

#include <QString>

#include <cstdint>

class QMetaObject;
class QWidget;

namespace resources {
class ResourceModule;
}
using ModuleHandle = resources::ResourceModule*;

// A window that gives its handler table for re-reading, so that a module naming a handler the
// window does not have is refused. Windows without it are re-read without that check.
class ReloadableForm
{
public:
    virtual ~ReloadableForm() = default;
    virtual HandlerTable handlerTable() = 0;
};

// Reads a stored description into an existing window: every object it names must exist
// already, and only the properties it holds are written.
class TAsInheritedReader
{
public:
    TAsInheritedReader(const QByteArray& data, const QString& origin);
    // Throws EResourceError naming what does not fit.
    void ReadRootComponent(QWidget* root);

private:
    QByteArray m_data;
    QString m_origin;
};

// Finds the module for a locale beside the program file (the program file's name with its
// extension replaced by, or without one followed by, "." and the locale's abbreviation, then
// the abbreviation's first two letters; case is ignored), loads it and installs it. Returns
// the module, or nullptr when none could be loaded.
ModuleHandle LoadResourceModuleForLocale(uint16_t locale);

// Installs a loaded module as the program's resource source and frees the one installed
// before. Returns the module (nullptr for nullptr). Throws EResourceError when the module's
// string table cannot be read; the module is freed then and nothing changes.
ModuleHandle SwitchResourceModule(ModuleHandle module);

// Re-reads every existing window from the installed resources.
void ReloadForms();

// Re-reads one window class by class, ancestors first, down from below stopClass. Returns
// true when any class level found a description.
bool ReloadFormClasses(QWidget* window, const QMetaObject* stopClass);

// Reads the description named name from module (nullptr: the program's own) into component.
// Returns false, changing nothing, when the module holds no such description.
bool ReloadComponentFromResource(const QString& name, ModuleHandle module, QWidget* component);

// The language step at the start of the main window's creation: the module for the user's
// language (German for the five German languages, English for all others), the windows
// re-read from it, and for a language other than German the message when "quillnet.enu" is
// not beside the program. Throws EResourceError when a module's description does not fit the
// window.
void languageStartupStep();
