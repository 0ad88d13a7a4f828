#pragma once
// The stored window descriptions and message texts, and where they are read from: the
// program's built-in ones, or those of an installed language module.
//
// A language module is a Qt binary resource file (rcc format) beside the program. It is
// loaded as data only: the whole file is read, its structure is checked, and it is
// registered under a root of its own. It holds the window descriptions under the window
// class names ("TForm1", "TForm2") and the string table under "strings".

#include <QByteArray>
#include <QString>

namespace resources {

class ResourceModule;

// The built-in description of a window class, or an empty array when there is none.
QByteArray builtInDescription(const QString& className);

// A description held by a module (nullptr: the program's own), or an empty array.
QByteArray moduleDescription(const ResourceModule* module, const QString& className);

// Where a description comes from, for error messages: "TForm1" for a built-in one,
// "<module file>, TForm1" for one of a module.
QString descriptionOrigin(const ResourceModule* module, const QString& className);

// The description a window of this class is created from: the installed module's when one
// is installed, the built-in one otherwise. Throws EResourceError "Resource <class> not
// found" when the resources in use hold none.
QByteArray windowDescription(const QString& className);

// Loads a module file. Returns nullptr, and changes nothing, when the file is missing,
// cannot be read, or is not a complete resource file (empty, truncated, anything else).
ResourceModule* loadModule(const QString& path);
// Frees a module that was loaded and is not installed.
void freeModule(ResourceModule* module);
QString modulePath(const ResourceModule* module);

// The module the program reads its resources from, or nullptr for its own.
ResourceModule* installedModule();
// Makes module the program's resource source, with its string table, and frees the module
// that was installed before. Throws EResourceError, and changes nothing, when the module's
// string table cannot be read.
void installModule(ResourceModule* module);
// Back to the built-in resources (frees the installed module); for tests.
void restoreBuiltIn();

// The name of an existing file in folder that equals name when case is ignored; an exact
// match wins. Empty when there is none.
QString findFileIgnoringCase(const QString& folder, const QString& name);

} // namespace resources
