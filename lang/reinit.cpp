#include "lang/reinit.h"

#include "platform/application.h"
#include "platform/locale.h"
#include "platform/logging.h"
#include "platform/programdir.h"
#include "platform/resources.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace {

constexpr uint16_t kGerman = 1031;
constexpr uint16_t kEnglishUS = 1033;
// German (Germany, Austria, Liechtenstein, Luxembourg, Switzerland) in the order compared.
constexpr uint16_t kGermanLanguages[] = {1031, 3079, 5127, 4103, 2055};

// A module that is there but cannot be loaded leaves the texts as they are, as none would;
// only the log says why.
ModuleHandle loadFromFolder(const QString& folder, const QString& name)
{
    const QString found = resources::findFileIgnoringCase(folder, name);
    if (found.isEmpty())
        return nullptr;
    const QString path = folder + u'/' + found;
    ModuleHandle module = resources::loadModule(path);
    if (!module)
        qCWarning(lcLang).noquote()
            << "the language module" << path << "cannot be read as a module and is not used";
    return module;
}

bool reloadClass(QWidget* window, const QMetaObject* cls, const QMetaObject* stopClass)
{
    if (!cls || cls == &QObject::staticMetaObject || cls == stopClass)
        return false;
    const bool ancestors = reloadClass(window, cls->superClass(), stopClass);
    const bool own = ReloadComponentFromResource(QString::fromLatin1(cls->className()),
                                                 resources::installedModule(), window);
    return ancestors || own;
}

} // namespace

TAsInheritedReader::TAsInheritedReader(const QByteArray& data, const QString& origin)
    : m_data(data), m_origin(origin)
{
}

void TAsInheritedReader::ReadRootComponent(QWidget* root)
{
    HandlerTable handlers;
    if (auto* form = dynamic_cast<ReloadableForm*>(root))
        handlers = form->handlerTable();
    FormReader::read(root, m_data, m_origin, FormReader::Mode::Inherited, handlers);
}

ModuleHandle LoadResourceModuleForLocale(uint16_t locale)
{
    const QFileInfo program(programdir::programFile());
    const QString abbreviation = userlocale::abbreviatedLanguageName(locale);
    if (abbreviation.isEmpty())
        return nullptr;
    // A program file without an extension (the rule on Linux) gets the abbreviation added.
    QString stem = program.fileName();
    const qsizetype dot = stem.lastIndexOf(u'.');
    stem = dot > 0 ? stem.left(dot + 1) : stem + u'.';
    const QString folder = program.absolutePath();
    ModuleHandle module = loadFromFolder(folder, stem + abbreviation);
    if (!module)
        module = loadFromFolder(folder, stem + abbreviation.left(2));
    return module ? SwitchResourceModule(module) : nullptr;
}

ModuleHandle SwitchResourceModule(ModuleHandle module)
{
    if (!module)
        return nullptr;
    try {
        resources::installModule(module);
    } catch (...) {
        resources::freeModule(module);
        throw;
    }
    return module;
}

void ReloadForms()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows.append(w);
    for (const QPointer<QWidget>& w : std::as_const(windows)) {
        if (w && ReloadFormClasses(w, &QWidget::staticMetaObject) && w) {
            // Texts a window makes itself (from the string table) follow the new module.
            QEvent changed(QEvent::LanguageChange);
            QCoreApplication::sendEvent(w, &changed);
        }
    }
}

bool ReloadFormClasses(QWidget* window, const QMetaObject* stopClass)
{
    return reloadClass(window, window->metaObject(), stopClass);
}

bool ReloadComponentFromResource(const QString& name, ModuleHandle module, QWidget* component)
{
    const QByteArray data = resources::moduleDescription(module, name);
    if (data.isEmpty())
        return false;
    TAsInheritedReader(data, resources::descriptionOrigin(module, name))
        .ReadRootComponent(component);
    return true;
}

void languageStartupStep()
{
    bool german = false;
    // The identifier is fetched anew for each comparison, as the platform call would be.
    for (const uint16_t id : kGermanLanguages) {
        if (userlocale::userDefaultLangID() == id) {
            german = true;
            break;
        }
    }
    if (german) {
        if (LoadResourceModuleForLocale(kGerman))
            ReloadForms();
        return;
    }
    if (LoadResourceModuleForLocale(kEnglishUS))
        ReloadForms();
    if (resources::findFileIgnoringCase(programdir::programFolder(), QStringLiteral("quillnet.enu"))
            .isEmpty())
        TApplication::instance()->MessageBox(QStringLiteral(
            "English version of Quillnet not found. Please copy 'quillnet.enu' from original "
            "Quillnet archive into current program directory!"));
}
