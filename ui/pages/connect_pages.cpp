// The pages before an update: language, phone search, phone choice, checking.

#include <QHBoxLayout>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/controls/bundled_fonts.h"
#include "ui/controls/busy_animation.h"
#include "ui/controls/markup_label.h"
#include "ui/pages/language_names.h"
#include "ui/pages/pages.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {

namespace {

constexpr std::uint32_t kIdLanguageList = 1004;
constexpr std::uint32_t kIdSearchingLabel = 1014;
constexpr std::uint32_t kIdPhoneText = 1014;
constexpr std::uint32_t kIdNote = 1022;
constexpr std::uint32_t kIdPhoneList = 1017;

QListWidget* add_list(QVBoxLayout& layout, std::uint32_t controlId, TextId nameId) {
    auto* list = new QListWidget;
    list->setObjectName(control_name(controlId));
    list->setAccessibleName(QString::fromStdWString(text(nameId)));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    layout.addWidget(list, 1);
    return list;
}

std::uint32_t item_id(const QListWidgetItem* item) {
    return item != nullptr ? item->data(Qt::UserRole).toUInt() : 0;
}

// Selects the entry whose item data is the id, else the first entry.
void select_entry(QListWidget& list, std::uint32_t id) {
    int row = 0;
    for (int i = 0; i < list.count(); ++i) {
        if (item_id(list.item(i)) == id) {
            row = i;
            break;
        }
    }
    if (list.count() > 0) {
        list.setCurrentRow(row);
    }
}

std::uint32_t selected_id(const QListWidget& list) {
    const auto items = list.selectedItems();
    return items.isEmpty() ? 0 : item_id(items.front());
}

}  // namespace

CSelectLanguagePage::CSelectLanguagePage(PageSignals& sink)
    : CWizPage(WizardPage::SelectLanguage, 129, sink) {}

void CSelectLanguagePage::set_languages(std::vector<std::uint32_t> languageIds) {
    m_languages = std::move(languageIds);
}

void CSelectLanguagePage::preselect(std::uint32_t languageId) {
    m_preselected = languageId;
    m_chosen = languageId;
}

void CSelectLanguagePage::build(QWidget& window, QVBoxLayout& content) {
    add_label(content, kIdHeading, kHeadingPixels, kSemiBoldWeight);
    auto* list = add_list(content, kIdLanguageList, kTextLanguageListName);
    std::vector<std::uint32_t> ids = m_languages;
    // The language in use is a choice even without a module of its own.
    if (m_preselected != 0 && std::find(ids.begin(), ids.end(), m_preselected) == ids.end()) {
        ids.insert(ids.begin(), m_preselected);
    }
    const QStringList names = language_display_names(ids);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto* item = new QListWidgetItem(names[static_cast<qsizetype>(i)], list);
        item->setData(Qt::UserRole, ids[i]);
    }
    select_entry(*list, m_preselected);
    add_button(window, kIdNext);
}

bool CSelectLanguagePage::exchange_data() {
    if (auto* list = control<QListWidget>(kIdLanguageList)) {
        if (const std::uint32_t id = selected_id(*list); id != 0) {
            m_chosen = id;
        }
    }
    return true;
}

CSearchingForPhonesPage::CSearchingForPhonesPage(PageSignals& sink)
    : CWizPage(WizardPage::SearchingForPhones, 140, sink) {}

void CSearchingForPhonesPage::build(QWidget& window, QVBoxLayout& content) {
    add_label(content, kIdHeading, kHeadingPixels, kSemiBoldWeight);
    add_label(add_busy_row(content), kIdSearchingLabel, kDescriptionPixels, kRegularWeight);
    add_markup(content, kIdNote, kDescriptionPixels);
    add_button(window, kIdCancel);
}

CSelectPhonePage::CSelectPhonePage(PageSignals& sink)
    : CWizPage(WizardPage::SelectPhone, 142, sink) {}

void CSelectPhonePage::set_phones(const std::vector<PhoneEntry>& phones) {
    m_selected = selected_phone();
    m_phones = phones;
    fill_list();
}

std::uint32_t CSelectPhonePage::selected_phone() const {
    if (const auto* list = control<QListWidget>(kIdPhoneList)) {
        return selected_id(*list);
    }
    return m_selected;
}

void CSelectPhonePage::build(QWidget& window, QVBoxLayout& content) {
    add_label(content, kIdHeading, kHeadingPixels, kSemiBoldWeight);
    auto* list = add_list(content, kIdPhoneList, kTextPhoneListName);
    add_button(window, kIdNext);
    fill_list();
    // The choice outlives the window: shown again, the page selects it again.
    QObject::connect(list, &QListWidget::itemSelectionChanged, list,
                     [this, list] { m_selected = selected_id(*list); });
}

void CSelectPhonePage::fill_list() {
    auto* list = control<QListWidget>(kIdPhoneList);
    if (list == nullptr) {
        return;
    }
    const QSignalBlocker quiet(list);
    list->clear();
    for (const PhoneEntry& phone : m_phones) {
        auto* item = new QListWidgetItem(QString::fromStdWString(phone.name), list);
        item->setData(Qt::UserRole, phone.phoneId);
    }
    select_entry(*list, m_selected);
    m_selected = selected_id(*list);
}

bool CSelectPhonePage::exchange_data() {
    m_selected = selected_phone();
    return true;
}

CCheckingForUpdatesPage::CCheckingForUpdatesPage(PageSignals& sink)
    : CWizPage(WizardPage::CheckingForUpdates, 146, sink) {}

void CCheckingForUpdatesPage::set_phone_text(const std::wstring& text) {
    keep_markup(m_phoneText, text, kIdPhoneText);
}

void CCheckingForUpdatesPage::build(QWidget& window, QVBoxLayout& content) {
    add_label(content, kIdHeading, kHeadingPixels, kSemiBoldWeight);
    add_markup(add_busy_row(content), kIdPhoneText, kDescriptionPixels, m_phoneText);
    add_button(window, kIdCancel);
}

}  // namespace atlasync::ui
