#pragma once
// The names the program shares with the world outside its code, in one place: the names and
// type names of the windows and their components, by which language files key their texts
// ("Form1.ButtonUninstall.Caption") and the log of missing texts lists them; the window
// classes that the installer and the tests look for; the mutex that keeps one copy running.
// Code creates and finds components through these entries only, so that renaming a C++
// identifier never changes a file or a name another program relies on.

namespace corvandel::stored {

// A component's name and type name.
struct ComponentName {
    const char* name;
    const char* type;
};

// A window: its component, whose name begins every language key of the window, and the class
// it registers.
struct WindowName {
    ComponentName form;
    const wchar_t* windowClass;
};

// A component with texts but no control: a message text that a window reads when it shows the
// message, or a name the language files have always addressed. Translated like any other.
struct TextOnly {
    ComponentName component;
    const char* property = nullptr;  // none: the component holds no text
    const char* text = "";           // the design-time text of `property`
};

inline constexpr WindowName kMainWindow{{"Form1", "TForm1"}, L"TForm1"};
inline constexpr WindowName kAboutWindow{{"Form8", "TForm8"}, L"TForm8"};
inline constexpr WindowName kUpdateWindow{{"Form10", "TForm10"}, L"TForm10"};
inline constexpr WindowName kQueueWindow{{"FormQueue", "TFormQueue"}, L"TFormQueue"};
inline constexpr WindowName kLeftoversWindow{{"FormLeftovers", "TFormLeftovers"},
                                             L"TFormLeftovers"};

// The key name the program's own installer gives its uninstall entry.
inline constexpr char kOwnUninstallKey[] = "Corvandel";

// Opened by every copy that starts: a second copy finds it and ends.
inline constexpr wchar_t kInstanceMutex[] = L"Corvandel";

namespace main_window {

// Controls.
inline constexpr ComponentName kSpeedButtonGeneralMenu{"SpeedButton_GeneralMenu", "TSpeedButton"};
inline constexpr ComponentName kButtonUninstall{"ButtonUninstall", "TButton"};
inline constexpr ComponentName kButtonBackupsUninstall{"ButtonBackupsUninstall", "TButton"};
inline constexpr ComponentName kListViewUninstall{"ListViewUninstall", "TListView"};
inline constexpr ComponentName kMemoLogUninstall{"MemoLogUninstall", "TMemo"};
inline constexpr ComponentName kEditSearchUninstall{"EditSearchUninstall", "TEdit"};
inline constexpr ComponentName kStatusBarUninstall{"StatusBarUninstall", "TStatusBar"};
inline constexpr ComponentName kListViewBackupsUninstall{"ListViewBackupsUninstall", "TListView"};

// Menus and their items.
inline constexpr ComponentName kPopupMenuUninstall{"PopupMenuUninstall", "TPopupMenu"};
inline constexpr ComponentName kPopupMenuBackups{"PopupMenuBackups", "TPopupMenu"};
inline constexpr ComponentName kPopupMenuGeneral{"PopupMenu_General", "TPopupMenu"};
inline constexpr ComponentName kThemeMenu{"ThemeMenu", "TMenuItem"};
inline constexpr ComponentName kLanguageMenu{"LanguageMenu", "TMenuItem"};
inline constexpr ComponentName kViewMenu{"ViewMenu", "TMenuItem"};
inline constexpr ComponentName kUninstallUninstallMenu{"UninstallUninstallMenu", "TMenuItem"};
inline constexpr ComponentName kN26{"N26", "TMenuItem"};
inline constexpr ComponentName kOpenFolderUninstallMenu{"OpenFolderUninstallMenu", "TMenuItem"};
inline constexpr ComponentName kWebSiteUninstallMenu{"WebSiteUninstallMenu", "TMenuItem"};
inline constexpr ComponentName kN5{"N5", "TMenuItem"};
inline constexpr ComponentName kDeleteKeyUninstallMenu{"DeleteKeyUninstallMenu", "TMenuItem"};
inline constexpr ComponentName kN25{"N25", "TMenuItem"};
inline constexpr ComponentName kRegistryKeyOpenUninstallMenu{"RegistryKeyOpenUninstallMenu",
                                                             "TMenuItem"};
inline constexpr ComponentName kUninstallSelectedMenu{"UninstallSelectedMenu", "TMenuItem"};
inline constexpr ComponentName kModifyUninstallMenu{"ModifyUninstallMenu", "TMenuItem"};
inline constexpr ComponentName kRepairUninstallMenu{"RepairUninstallMenu", "TMenuItem"};
inline constexpr ComponentName kN27{"N27", "TMenuItem"};
inline constexpr ComponentName kBrokenOnlyMenu{"BrokenOnlyMenu", "TMenuItem"};
inline constexpr ComponentName kBackupsUpdateMenu{"BackupsUpdateMenu", "TMenuItem"};
inline constexpr ComponentName kSeparatorBack1{"SeparatorBack1", "TMenuItem"};
inline constexpr ComponentName kBackupsRestoreMenu{"BackupsRestoreMenu", "TMenuItem"};
inline constexpr ComponentName kSeparatorBack2{"SeparatorBack2", "TMenuItem"};
inline constexpr ComponentName kBackupsDelAllMenu{"BackupsDelAllMenu", "TMenuItem"};
inline constexpr ComponentName kBackupsDelMenu{"BackupsDelMenu", "TMenuItem"};
inline constexpr ComponentName kBackupsLeftoversMenu{"BackupsLeftoversMenu", "TMenuItem"};
inline constexpr ComponentName kFindLeftoversUninstallMenu{"FindLeftoversUninstallMenu",
                                                           "TMenuItem"};
inline constexpr ComponentName kSeparatorBack3{"SeparatorBack3", "TMenuItem"};
inline constexpr ComponentName kBackupsEmptyMonthMenu{"BackupsEmptyMonthMenu", "TMenuItem"};
inline constexpr ComponentName kBackupsEmptyQuarterMenu{"BackupsEmptyQuarterMenu", "TMenuItem"};
inline constexpr ComponentName kBackupsEmptyYearMenu{"BackupsEmptyYearMenu", "TMenuItem"};
// Below the backups list: how much the quarantine holds, or why it is not used.
inline constexpr ComponentName kLabelQuarantineUninstall{"LabelQuarantineUninstall", "TLabel"};
inline constexpr ComponentName kThemeAuto{"ThemeAuto", "TMenuItem"};
inline constexpr ComponentName kThemeLight{"ThemeLight", "TMenuItem"};
inline constexpr ComponentName kThemeDark{"ThemeDark", "TMenuItem"};
inline constexpr ComponentName kIconSmallMenu{"IconSmallMenu", "TMenuItem"};
inline constexpr ComponentName kIconBigMenu{"IconBigMenu", "TMenuItem"};
inline constexpr ComponentName kN3{"N3", "TMenuItem"};
inline constexpr ComponentName kRefreshListMenu{"RefreshListMenu", "TMenuItem"};
inline constexpr ComponentName kViewLogMenu{"ViewLogMenu", "TMenuItem"};
inline constexpr ComponentName kLogCreateMenu{"LogCreateMenu", "TMenuItem"};
inline constexpr ComponentName kMenuItem5{"MenuItem5", "TMenuItem"};
inline constexpr ComponentName kCheckUpdateMenu{"CheckUpdateMenu", "TMenuItem"};
inline constexpr ComponentName kN1{"N1", "TMenuItem"};
inline constexpr ComponentName kAboutMenu{"AboutMenu", "TMenuItem"};

// Message texts.
inline constexpr TextOnly kLangAttention{{"LangAttention", "TMenuItem"}, "Caption", "Внимание!"};
inline constexpr TextOnly kLangTotal{{"LangTotal", "TMenuItem"}, "Caption", "Всего: "};
inline constexpr TextOnly kLangLoadingData{
    {"LangLoadingData", "TMenuItem"}, "Caption", "Загрузка данных: "};
inline constexpr TextOnly kLangDelete{{"LangDelete", "TMenuItem"}, "Caption", "Удалить"};
inline constexpr TextOnly kLangOnlyWindows{
    {"LangOnlyWindows", "TMenuItem"},
    "Caption",
    "Эта программа совместима только с Windows 10 и Windows 11."};
inline constexpr TextOnly kLangError{{"LangError", "TMenuItem"}, "Caption", "Ошибка"};
inline constexpr TextOnly kLangSize{{"LangSize", "TMenuItem"}, "Caption", "Размер: "};
inline constexpr TextOnly kLangElements{{"LangElements", "TMenuItem"}, "Caption", "Элементов:"};
inline constexpr TextOnly kLangNoBackup{
    {"LangNoBackup", "TMenuItem"}, "Caption", "Резервная копия не сохранена, запись не удалена."};
inline constexpr TextOnly kLangUninstallerMissing{
    {"LangUninstallerMissing", "TMenuItem"}, "Caption", "Деинсталлятор не найден"};
inline constexpr TextOnly kLangCannotStart{
    {"LangCannotStart", "TMenuItem"}, "Caption", "Не удалось запустить"};
// The backups page's rows of the clean-up and what it did.
inline constexpr TextOnly kLangCleanupRow{{"LangCleanupRow", "TMenuItem"}, "Caption", "Остатки:"};
inline constexpr TextOnly kLangRecordRow{{"LangRecordRow", "TMenuItem"}, "Caption", "Запись:"};
inline constexpr TextOnly kLangNotRestored{
    {"LangNotRestored", "TMenuItem"}, "Caption", "Не восстановлено:"};
inline constexpr TextOnly kLangStillInstalled{
    {"LangStillInstalled", "TMenuItem"},
    "Caption",
    "Программа ещё установлена. Остатки ищутся после её удаления."};
inline constexpr TextOnly kLangQuarantine{
    {"LangQuarantine", "TMenuItem"}, "Caption", "В карантине (очистки, их размер):"};
inline constexpr TextOnly kLangDataRefused{
    {"LangDataRefused", "TMenuItem"},
    "Caption",
    "Записи и карантин не используются: программа работает с правами администратора, а эту "
    "папку могут изменить обычные пользователи:"};
inline constexpr TextOnly kLangEmptyQuarantine{
    {"LangEmptyQuarantine", "TMenuItem"},
    "Caption",
    "Удалить навсегда очистки, сделанные раньше этого срока? Вернуть их будет нельзя."};
inline constexpr TextOnly kLangUntrustedBackup{
    {"LangUntrustedBackup", "TMenuItem"},
    "Caption",
    "Эту резервную копию могли изменить: она лежит в папке, куда могут писать обычные "
    "пользователи, а восстановление пойдёт с правами администратора. Восстановить всё равно?"};

// The window's components without a control, in the order the window adds them after its
// controls and menus. The language files keep every line addressed to one of them.
inline constexpr TextOnly kTextOnly[] = {
    {{"ListviewDubUninstall", "TListView"}},
    {{"TabControl", "TTabControl"}},
    {{"TabApp", "TTabControl"}},
    {{"TabControlPanel", "TTabControl"}},
    {{"PageControl", "TPageControl"}},
    {{"TabUninstall", "TTabSheet"}, "Caption", "Деинсталляция"},
    {{"TabBackups", "TTabSheet"}, "Caption", "Резерв"},
    {{"PopupMenuLanguage", "TPopupMenu"}},
    kLangAttention,
    kLangTotal,
    kLangLoadingData,
    kLangDelete,
    kLangOnlyWindows,
    kLangError,
    kLangSize,
    kLangElements,
    kLangNoBackup,
    {{"SaveDialogUninstall", "TSaveDialog"}, "Filter", "HTML|*.html"},
    {{"ImageList3", "TImageList"}},
    kLangUninstallerMissing,
    kLangCannotStart,
    kLangCleanupRow,
    kLangRecordRow,
    kLangNotRestored,
    kLangStillInstalled,
    kLangQuarantine,
    kLangDataRefused,
    kLangEmptyQuarantine,
    kLangUntrustedBackup,
};

}  // namespace main_window

namespace about_window {

inline constexpr ComponentName kLabelVersion{"LabelVersion", "TLabel"};
inline constexpr ComponentName kLabelCopyright{"LabelCopyright", "TLabel"};
inline constexpr ComponentName kLabelTelegram{"LabelTelegram", "TLabel"};
inline constexpr ComponentName kLabelGMail{"LabelGMail", "TLabel"};
inline constexpr ComponentName kLabelYaMail{"LabelYaMail", "TLabel"};
inline constexpr ComponentName kLabelMainWebSite{"LabelMainWebSite", "TLabel"};
inline constexpr ComponentName kImage1{"Image1", "TImage"};
inline constexpr ComponentName kButton1{"Button1", "TButton"};

inline constexpr TextOnly kTextOnly[] = {
    {{"TabControlBody", "TTabControl"}},
    {{"TabControlButtons", "TTabControl"}},
};

}  // namespace about_window

namespace update_window {

inline constexpr ComponentName kTabControlButtons{"TabControlButtons", "TTabControl"};
inline constexpr ComponentName kButtonDownload{"ButtonDownload", "TButton"};
inline constexpr ComponentName kButtonClose{"ButtonClose", "TButton"};
inline constexpr ComponentName kGroupBoxOption{"GroupBoxOption", "TGroupBox"};
inline constexpr ComponentName kCheckBoxQuickUpdate{"CheckBoxQuickUpdate", "TCheckBox"};
inline constexpr ComponentName kCheckBoxForceUpdate{"CheckBoxForceUpdate", "TCheckBox"};
inline constexpr ComponentName kCheckBoxAutoCheck{"CheckBoxAutoCheck", "TCheckBox"};
inline constexpr ComponentName kProgressBarUpdate{"ProgressBarUpdate", "TProgressBar"};
inline constexpr ComponentName kGroupBox1{"GroupBox1", "TGroupBox"};
inline constexpr ComponentName kLabelUpDate{"LabelUpDate", "TLabel"};
inline constexpr ComponentName kLabelLocalTitle{"LabelLocalTitle", "TLabel"};
inline constexpr ComponentName kLabelLocalVersion{"LabelLocalVersion", "TLabel"};
inline constexpr ComponentName kLabelServerTitle{"LabelServerTitle", "TLabel"};
inline constexpr ComponentName kLabelServerVersion{"LabelServerVersion", "TLabel"};

// Message texts.
inline constexpr TextOnly kLangNoDownload{
    {"LangNoDownload", "TMenuItem"}, "Caption", "Файлы обновления не загружены!"};
inline constexpr TextOnly kLangDownloadComplet{
    {"LangDownloadComplet", "TMenuItem"}, "Caption", "Файлы обновления загружены!"};
inline constexpr TextOnly kLangNoUpdate{{"LangNoUpdate", "TMenuItem"}, "Caption", "Нет обновления"};
inline constexpr TextOnly kLangServerVersion{
    {"LangServerVersion", "TMenuItem"}, "Caption", "Версия на сервере:"};
inline constexpr TextOnly kLangVersionComputer{
    {"LangVersionComputer", "TMenuItem"}, "Caption", "Версия на компьютере:"};
inline constexpr TextOnly kLangUpdateAvailable{
    {"LangUpdateAvailable", "TMenuItem"}, "Caption", "Доступно обновление"};
inline constexpr TextOnly kLangDownload{{"LangDownload", "TMenuItem"}, "Caption", "Скачать"};
inline constexpr TextOnly kLangCancel{{"LangCancel", "TMenuItem"}, "Caption", "Отмена"};
inline constexpr TextOnly kLangUpdateNow{
    {"LangUpdateNow", "TMenuItem"}, "Caption", "Хотите обновить приложение сейчас?"};
inline constexpr TextOnly kLangYes{{"LangYes", "TMenuItem"}, "Caption", "Да"};
inline constexpr TextOnly kLangNo{{"LangNo", "TMenuItem"}, "Caption", "Нет"};
inline constexpr TextOnly kLangCheckUpdate{
    {"LangCheckUpdate", "TMenuItem"}, "Caption", "Проверка обновления..."};
inline constexpr TextOnly kLangFailedCheckUpdates{
    {"LangFailedCheckUpdates", "TMenuItem"}, "Caption", "Не удалось проверить обновления"};
inline constexpr TextOnly kLangConnectionError{
    {"LangConnectionError", "TMenuItem"}, "Caption", "Ошибка соединения"};
inline constexpr TextOnly kLangNoSignature{
    {"LangNoSignature", "TMenuItem"}, "Caption", "Нет подписи файла обновления!"};
inline constexpr TextOnly kLangBadSignature{
    {"LangBadSignature", "TMenuItem"}, "Caption", "Подпись файла обновления неверна!"};

inline constexpr TextOnly kTextOnly[] = {
    {{"PopupMenuLanguage", "TPopupMenu"}},
    kLangNoDownload,
    kLangDownloadComplet,
    kLangNoUpdate,
    kLangServerVersion,
    kLangVersionComputer,
    kLangUpdateAvailable,
    kLangDownload,
    kLangCancel,
    kLangUpdateNow,
    kLangYes,
    kLangNo,
    kLangCheckUpdate,
    kLangFailedCheckUpdates,
    kLangConnectionError,
    kLangNoSignature,
    kLangBadSignature,
    {{"IdHTTP1", "TIdHTTP"}},
    {{"IdHTTP2", "TIdHTTP"}},
    {{"TaskbarUpdate", "TTaskbar"}},
};

}  // namespace update_window

namespace queue_window {

inline constexpr ComponentName kListViewQueue{"ListViewQueue", "TListView"};
inline constexpr ComponentName kRadioQuiet{"RadioQuiet", "TRadioButton"};
inline constexpr ComponentName kRadioQuietOnly{"RadioQuietOnly", "TRadioButton"};
inline constexpr ComponentName kRadioInteractive{"RadioInteractive", "TRadioButton"};
inline constexpr ComponentName kProgressBarQueue{"ProgressBarQueue", "TProgressBar"};
inline constexpr ComponentName kLabelQueueStatus{"LabelQueueStatus", "TLabel"};
inline constexpr ComponentName kButtonStart{"ButtonStart", "TButton"};
inline constexpr ComponentName kButtonStop{"ButtonStop", "TButton"};
inline constexpr ComponentName kButtonClose{"ButtonClose", "TButton"};

// What the state column and the status line say.
inline constexpr TextOnly kLangWaiting{{"LangWaiting", "TMenuItem"}, "Caption", "Ожидает"};
inline constexpr TextOnly kLangRunning{{"LangRunning", "TMenuItem"}, "Caption", "Выполняется"};
inline constexpr TextOnly kLangRemoved{{"LangRemoved", "TMenuItem"}, "Caption", "Удалена"};
inline constexpr TextOnly kLangStillListed{
    {"LangStillListed", "TMenuItem"}, "Caption", "Осталась в списке"};
inline constexpr TextOnly kLangFailedCode{
    {"LangFailedCode", "TMenuItem"}, "Caption", "Ошибка, код"};
inline constexpr TextOnly kLangTimedOut{
    {"LangTimedOut", "TMenuItem"}, "Caption", "Ошибка: превышено время ожидания"};
inline constexpr TextOnly kLangNotStarted{
    {"LangNotStarted", "TMenuItem"}, "Caption", "Ошибка: не запускается, код"};
inline constexpr TextOnly kLangNoCommand{
    {"LangNoCommand", "TMenuItem"}, "Caption", "Ошибка: нет команды удаления"};
inline constexpr TextOnly kLangAmbiguousPath{
    {"LangAmbiguousPath", "TMenuItem"},
    "Caption",
    "Ошибка: путь без кавычек указывает на несколько программ"};
inline constexpr TextOnly kLangMissing{
    {"LangMissing", "TMenuItem"}, "Caption", "Деинсталлятор не найден"};
inline constexpr TextOnly kLangSkipped{
    {"LangSkipped", "TMenuItem"}, "Caption", "Пропущена: нет тихого способа"};
inline constexpr TextOnly kLangCancelled{{"LangCancelled", "TMenuItem"}, "Caption", "Отменена"};
inline constexpr TextOnly kLangQuietTag{{"LangQuietTag", "TMenuItem"}, "Caption", "тихо"};
inline constexpr TextOnly kLangDone{{"LangDone", "TMenuItem"}, "Caption", "Готово:"};
inline constexpr TextOnly kLangOf{{"LangOf", "TMenuItem"}, "Caption", "из"};
inline constexpr TextOnly kLangRestart{
    {"LangRestart", "TMenuItem"}, "Caption", "Для завершения удаления нужна перезагрузка."};
inline constexpr TextOnly kLangOwnLast{
    {"LangOwnLast", "TMenuItem"},
    "Caption",
    "В очереди есть сама эта программа. Она будет удалена последней. Удалить и её?"};

inline constexpr TextOnly kTextOnly[] = {
    kLangWaiting,  kLangRunning,    kLangRemoved,   kLangStillListed,   kLangFailedCode,
    kLangTimedOut, kLangNotStarted, kLangNoCommand, kLangAmbiguousPath, kLangMissing,
    kLangSkipped,  kLangCancelled,  kLangQuietTag,  kLangDone,          kLangOf,
    kLangRestart,  kLangOwnLast,
};

}  // namespace queue_window

namespace leftovers_window {

inline constexpr ComponentName kListViewLeftovers{"ListViewLeftovers", "TListView"};
inline constexpr ComponentName kMemoLeftoversDetails{"MemoLeftoversDetails", "TMemo"};
inline constexpr ComponentName kLabelLeftoversStatus{"LabelLeftoversStatus", "TLabel"};
inline constexpr ComponentName kButtonRemoveChosen{"ButtonRemoveChosen", "TButton"};
inline constexpr ComponentName kButtonCancel{"ButtonCancel", "TButton"};

inline constexpr TextOnly kLangSearching{
    {"LangSearching", "TMenuItem"}, "Caption", "Поиск того, что осталось..."};
inline constexpr TextOnly kLangFound{{"LangFound", "TMenuItem"}, "Caption", "Найдено:"};
inline constexpr TextOnly kLangNothingFound{
    {"LangNothingFound", "TMenuItem"}, "Caption", "Ничего не осталось."};
inline constexpr TextOnly kLangNoRecord{
    {"LangNoRecord", "TMenuItem"}, "Caption", "Запись о программе не читается:"};
inline constexpr TextOnly kLangConfirm{
    {"LangConfirm", "TMenuItem"},
    "Caption",
    "Переместить выбранное в карантин? Всё можно вернуть на странице «Резерв»."};
inline constexpr TextOnly kLangRemoved{{"LangRemoved", "TMenuItem"}, "Caption", "Удалено"};
inline constexpr TextOnly kLangNotRemoved{
    {"LangNotRemoved", "TMenuItem"}, "Caption", "Не удалено:"};
inline constexpr TextOnly kLangNotHere{
    {"LangNotHere", "TMenuItem"}, "Caption", "Удаляется средствами Windows"};
inline constexpr TextOnly kLangClose{{"LangClose", "TMenuItem"}, "Caption", "Закрыть"};
inline constexpr TextOnly kLangHigh{{"LangHigh", "TMenuItem"}, "Caption", "высокая"};
inline constexpr TextOnly kLangMedium{{"LangMedium", "TMenuItem"}, "Caption", "средняя"};
// The chosen items' count and size follow.
inline constexpr TextOnly kLangChosen{{"LangChosen", "TMenuItem"}, "Caption", "Выбрано:"};
// The details of the selected item: why it is offered, what it starts, where a link leads,
// and what became of it.
inline constexpr TextOnly kLangWhy{{"LangWhy", "TMenuItem"}, "Caption", "Почему:"};
inline constexpr TextOnly kLangStarts{{"LangStarts", "TMenuItem"}, "Caption", "Запускает:"};
inline constexpr TextOnly kLangLinksTo{{"LangLinksTo", "TMenuItem"}, "Caption", "Ссылка ведёт в:"};
inline constexpr TextOnly kLangOutcome{{"LangOutcome", "TMenuItem"}, "Caption", "Итог:"};
// The kinds, in the order of their groups.
inline constexpr TextOnly kLangFolder{{"LangFolder", "TMenuItem"}, "Caption", "Папка"};
inline constexpr TextOnly kLangFile{{"LangFile", "TMenuItem"}, "Caption", "Файл"};
inline constexpr TextOnly kLangShortcut{{"LangShortcut", "TMenuItem"}, "Caption", "Ярлык"};
inline constexpr TextOnly kLangRunValue{{"LangRunValue", "TMenuItem"}, "Caption", "Автозапуск"};
inline constexpr TextOnly kLangRegistryKey{
    {"LangRegistryKey", "TMenuItem"}, "Caption", "Ключ реестра"};
inline constexpr TextOnly kLangService{{"LangService", "TMenuItem"}, "Caption", "Служба"};
inline constexpr TextOnly kLangTask{{"LangTask", "TMenuItem"}, "Caption", "Задание"};
// Why an item is offered; the cited path follows.
inline constexpr TextOnly kLangInsideFolder{
    {"LangInsideFolder", "TMenuItem"}, "Caption", "в папке программы"};
inline constexpr TextOnly kLangPointsInto{
    {"LangPointsInto", "TMenuItem"}, "Caption", "указывает в папку программы"};
inline constexpr TextOnly kLangRecordedFile{
    {"LangRecordedFile", "TMenuItem"}, "Caption", "файл, названный в записи программы"};
inline constexpr TextOnly kLangRecordedPointer{
    {"LangRecordedPointer", "TMenuItem"}, "Caption", "до удаления запускал файл программы"};
inline constexpr TextOnly kLangNamedInPublisher{
    {"LangNamedInPublisher", "TMenuItem"}, "Caption", "названа по программе в папке издателя"};
inline constexpr TextOnly kLangProgramKey{
    {"LangProgramKey", "TMenuItem"}, "Caption", "ключ программы в разделе издателя"};
inline constexpr TextOnly kLangHostCommand{{"LangHostCommand", "TMenuItem"},
                                           "Caption",
                                           "команда интерпретатора, проверьте, что она запускает"};

inline constexpr TextOnly kTextOnly[] = {
    kLangSearching,
    kLangFound,
    kLangNothingFound,
    kLangNoRecord,
    kLangConfirm,
    kLangRemoved,
    kLangNotRemoved,
    kLangNotHere,
    kLangClose,
    kLangHigh,
    kLangMedium,
    kLangChosen,
    kLangWhy,
    kLangStarts,
    kLangLinksTo,
    kLangOutcome,
    kLangFolder,
    kLangFile,
    kLangShortcut,
    kLangRunValue,
    kLangRegistryKey,
    kLangService,
    kLangTask,
    kLangInsideFolder,
    kLangPointsInto,
    kLangRecordedFile,
    kLangRecordedPointer,
    kLangNamedInPublisher,
    kLangProgramKey,
    kLangHostCommand,
};

}  // namespace leftovers_window

}  // namespace corvandel::stored
