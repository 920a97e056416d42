#include "ui/cvconfigslots.h"

#include <algorithm>
#include <cmath>
#include <map>

#include <QCheckBox>
#include <QFont>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "ui/textfit.h"
#include "ui/qtext.h"

namespace {

const char* const SlotMimeType = "application/x-caldavor-slot-row";

struct TTreeLook {
    const char* Name;
    const char* Hint;
    std::vector<TSlotColumn> Columns;
};

const TTreeLook& Look(TSlotTree tree) {
    using F = TSlotField;
    static const std::map<TSlotTree, TTreeLook> looks{
        {TSlotTree::Temps,
         {"VTTemps", "Select a temperature to change its settings",
          {{"Label", 150, F::Label}, {"Chip", 120, F::Chip}, {"Sensor", 55, F::Sensor}, {"Sample", 60, F::Sample},
           {"BUS", 0, F::Bus}, {"Address", 0, F::Address}}}},
        {TSlotTree::Fans,
         {"VTFans", "Select a fan to change its settings",
          {{"Label", 140, F::Label}, {"Chip", 120, F::Chip}, {"Sensor", 55, F::Sensor}, {"Sample", 70, F::Sample},
           {"BUS", 0, F::Bus}, {"Address", 0, F::Address}}}},
        {TSlotTree::Volts,
         {"VTVolts", "Select a voltage to change its settings",
          {{"Label", 145, F::Label}, {"Chip", 120, F::Chip}, {"Sensor", 60, F::Sensor}, {"Sample", 60, F::Sample},
           {"BUS", 0, F::Bus}, {"Address", 0, F::Address}}}},
        {TSlotTree::Pwms,
         {"VTPwms", "Select a speed to change its settings",
          {{"Label", 160, F::Label}, {"Chip", 120, F::Chip}, {"Sensor", 55, F::Sensor}, {"BUS", 0, F::Bus},
           {"Address", 0, F::Address}}}},
    };
    return looks.at(tree);
}

// Moves element d to place t, shifting those between by one.
template <typename T>
void MoveElement(std::vector<T>& items, int d, int t) {
    const auto first = items.begin();
    if (d < t)
        std::rotate(first + d, first + d + 1, first + t + 1);
    else
        std::rotate(first + t, first + d, first + d + 1);
}

}  // namespace

// ---- the tree model ---------------------------------------------------------

TSlotTreeModel::TSlotTreeModel(TDlgConfigModel& model, TSlotTree tree, QObject* parent)
    : QAbstractItemModel(parent), model_(model), tree_(tree) {}

const std::vector<TSlotColumn>& TSlotTreeModel::Columns(TSlotTree tree) { return Look(tree).Columns; }

std::vector<TUsedData>& TSlotTreeModel::Slots() {
    return const_cast<std::vector<TUsedData>&>(std::as_const(*this).Slots());
}

const std::vector<TUsedData>& TSlotTreeModel::Slots() const {
    switch (tree_) {
    case TSlotTree::Temps: return model_.Temps;
    case TSlotTree::Fans: return model_.Fans;
    case TSlotTree::Volts: return model_.Volts;
    case TSlotTree::Pwms: break;
    }
    return model_.Speeds;
}

void TSlotTreeModel::Reload() {
    beginResetModel();
    endResetModel();
}

bool TSlotTreeModel::MoveSlot(int d, int t) {
    const int count = static_cast<int>(Slots().size());
    if (d == t || d < 0 || t < 0 || d >= count || t >= count) return false;
    beginResetModel();
    MoveElement(Slots(), d, t);
    if (tree_ == TSlotTree::Pwms) {
        for (auto& temp : model_.Temps)
            if (d < static_cast<int>(temp.ControlsSpeed.size()) && t < static_cast<int>(temp.ControlsSpeed.size()))
                MoveElement(temp.ControlsSpeed, d, t);
    }
    endResetModel();
    if (tree_ == TSlotTree::Pwms && temps_) temps_->SpeedsChanged();
    return true;
}

void TSlotTreeModel::SpeedsChanged() {
    for (int row = 0; row < rowCount(); ++row) {
        const QModelIndex parent = index(row, 0);
        const int children = rowCount(parent);
        if (children > 0) emit dataChanged(index(0, 0, parent), index(children - 1, columnCount() - 1, parent));
    }
}

QModelIndex TSlotTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) return {};
    if (!parent.isValid()) return createIndex(row, column, SlotRow);
    return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex TSlotTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == SlotRow) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, SlotRow);
}

int TSlotTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(Slots().size());
    if (tree_ == TSlotTree::Temps && isSlot(parent) && parent.column() == 0)
        return static_cast<int>(model_.Speeds.size());
    return 0;
}

int TSlotTreeModel::columnCount(const QModelIndex&) const { return static_cast<int>(Columns(tree_).size()); }

std::string TSlotTreeModel::text(const TUsedData& data, TSlotField field, bool child) const {
    switch (field) {
    case TSlotField::Label: return data.Name;
    case TSlotField::Chip: return data.ChipText;
    case TSlotField::Sensor: return data.ReadingText;
    case TSlotField::Sample: return child ? std::string() : data.ValueText;
    case TSlotField::Bus: return data.BusText;
    case TSlotField::Address: return data.AddressText;
    }
    return {};
}

QVariant TSlotTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const bool slot = isSlot(index);
    const auto row = static_cast<std::size_t>(index.row());
    const TUsedData& data = slot ? Slots()[row] : model_.Speeds[row];
    const TSlotField field = Columns(tree_)[static_cast<std::size_t>(index.column())].Field;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return Q(text(data, field, !slot));
    case Qt::CheckStateRole:
        if (index.column() != 0) return {};
        if (slot) return data.Active ? Qt::Checked : Qt::Unchecked;
        {
            const auto& links = model_.Temps[static_cast<std::size_t>(parent(index).row())].ControlsSpeed;
            return row < links.size() && links[row] ? Qt::Checked : Qt::Unchecked;
        }
    case Qt::FontRole:
        if (slot && index.column() == 0) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    default: return {};
    }
}

bool TSlotTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0) return false;
    if (role == Qt::CheckStateRole) {
        const bool checked = value.toInt() == Qt::Checked;
        if (isSlot(index)) {
            Slots()[static_cast<std::size_t>(index.row())].Active = checked;
        } else {
            auto& links = model_.Temps[static_cast<std::size_t>(parent(index).row())].ControlsSpeed;
            const auto j = static_cast<std::size_t>(index.row());
            if (j >= links.size()) links.resize(j + 1, false);
            links[j] = checked;
        }
    } else if (role == Qt::EditRole && isSlot(index)) {
        Slots()[static_cast<std::size_t>(index.row())].Name = value.toString().toStdString();
        if (tree_ == TSlotTree::Pwms && temps_) temps_->SpeedsChanged();
    } else {
        return false;
    }
    emit dataChanged(index, index, {role});
    return true;
}

Qt::ItemFlags TSlotTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) flags |= Qt::ItemIsUserCheckable;
    if (isSlot(index)) {
        flags |= Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
        if (index.column() == 0) flags |= Qt::ItemIsEditable;
    }
    return flags;
}

QVariant TSlotTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= columnCount()) return {};
    const auto set = headers_.find(section);
    return set != headers_.end() ? set->second : QString(Columns(tree_)[static_cast<std::size_t>(section)].Caption);
}

bool TSlotTreeModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole)) return false;
    if (section < 0 || section >= columnCount()) return false;
    headers_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

QStringList TSlotTreeModel::mimeTypes() const { return {SlotMimeType}; }

QMimeData* TSlotTreeModel::mimeData(const QModelIndexList& indexes) const {
    const auto dragged = std::find_if(indexes.begin(), indexes.end(), [this](const auto& i) { return isSlot(i); });
    if (dragged == indexes.end()) return nullptr;
    auto* data = new QMimeData;
    data->setData(SlotMimeType, QByteArray::number(dragged->row()));
    return data;
}

int TSlotTreeModel::draggedRow(const QMimeData* data) {
    if (!data || !data->hasFormat(SlotMimeType)) return -1;
    bool ok = false;
    const int row = data->data(SlotMimeType).toInt(&ok);
    return ok ? row : -1;
}

bool TSlotTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                     const QModelIndex& parent) const {
    return action == Qt::MoveAction && isSlot(parent) && draggedRow(data) >= 0 &&
           draggedRow(data) < static_cast<int>(Slots().size());
}

bool TSlotTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    return MoveSlot(draggedRow(data), parent.row());
}

// ---- the panel handlers -----------------------------------------------------

TConfigSlots::TConfigSlots(TDlgConfigModel& model)
    : model_(model),
      temps_(model, TSlotTree::Temps),
      fans_(model, TSlotTree::Fans),
      volts_(model, TSlotTree::Volts),
      pwms_(model, TSlotTree::Pwms) {
    pwms_.SetTemperatureTree(&temps_);
}

TSlotTreeModel& TConfigSlots::Model(TSlotTree tree) {
    switch (tree) {
    case TSlotTree::Temps: return temps_;
    case TSlotTree::Fans: return fans_;
    case TSlotTree::Volts: return volts_;
    case TSlotTree::Pwms: break;
    }
    return pwms_;
}

int TConfigSlots::SelectedSlot(const QModelIndexList& selectedRows) {
    if (selectedRows.size() != 1 || selectedRows.front().parent().isValid()) return -1;
    return selectedRows.front().row();
}

TUsedData* TConfigSlots::editable(TSlotTree tree, int slot) {
    auto& rows = Model(tree).Slots();
    if (!model_.DataReady || slot < 0 || slot >= static_cast<int>(rows.size())) return nullptr;
    return &rows[static_cast<std::size_t>(slot)];
}

std::string TConfigSlots::FahrenheitLabel(double celsius) {
    return cvformat::Format("C (%.0fF)", {celsius * 9 / 5 + 32});
}

void TConfigSlots::EDWantedTempChange(int slot, double value) {
    if (TUsedData* data = editable(TSlotTree::Temps, slot)) data->Wanted = static_cast<int>(std::nearbyint(value));
}

void TConfigSlots::EDWarningTempChange(int slot, double value) {
    if (TUsedData* data = editable(TSlotTree::Temps, slot)) data->Warning = static_cast<int>(std::nearbyint(value));
}

void TConfigSlots::CBShowInTrayClick(int slot, bool checked) {
    if (model_.Updating || !editable(TSlotTree::Temps, slot)) return;
    for (std::size_t i = 0; i < model_.Temps.size(); ++i)
        model_.Temps[i].InTray = checked && static_cast<int>(i) == slot;
}

void TConfigSlots::setLogged(TSlotTree tree, int slot, bool checked) {
    if (TUsedData* data = editable(tree, slot)) data->Logged = checked;
}

namespace {
// The edit's text as an integer, 0 when it is none.
int IntegerOrZero(const std::string& text) {
    bool ok = false;
    const int value = QString::fromStdString(text).trimmed().toInt(&ok);
    return ok ? value : 0;
}
}  // namespace

void TConfigSlots::EDMinPwmChange(int slot, const std::string& text) {
    if (TUsedData* data = editable(TSlotTree::Pwms, slot)) data->MinPercent = IntegerOrZero(text);
}

void TConfigSlots::EDMaxPwmChange(int slot, const std::string& text) {
    if (TUsedData* data = editable(TSlotTree::Pwms, slot)) data->MaxPercent = IntegerOrZero(text);
}

void TConfigSlots::CBAutoVariateClick(int slot, bool checked) {
    if (TUsedData* data = editable(TSlotTree::Pwms, slot)) data->Variate = checked;
}

// ---- one tab ----------------------------------------------------------------

TSlotsPage::TSlotsPage(TConfigSlots& tabs, TSlotTree tree, QWidget* parent)
    : QWidget(parent), slots_(tabs), data_(tabs.Data()), tree_(tree) {
    auto* layout = new QVBoxLayout(this);
    view_ = new QTreeView;
    view_->setObjectName(Look(tree).Name);
    view_->setModel(&tabs.Model(tree));
    view_->setRootIsDecorated(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    view_->setDragDropMode(QAbstractItemView::DragDrop);
    view_->setDefaultDropAction(Qt::MoveAction);
    view_->setDragDropOverwriteMode(true);
    view_->header()->setSectionsMovable(true);
    const auto& columns = TSlotTreeModel::Columns(tree);
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].Width > 0) view_->setColumnWidth(static_cast<int>(c), columns[c].Width);
    auto* fitter = new TColumnFitter(*view_);
    QObject::connect(&tabs.Model(tree), &QAbstractItemModel::modelReset, fitter, &TColumnFitter::Fit);
    layout->addWidget(view_, 1);

    stack_ = new QStackedWidget;
    auto* hint = new QLabel(Look(tree).Hint);
    // Named after its tree: "VTTemps" gives "LABTempsHint".
    hint->setObjectName(QString("LAB%1Hint").arg(Look(tree).Name + 2));
    hint->setAlignment(Qt::AlignCenter);
    stack_->addWidget(hint);
    stack_->addWidget(buildPanel());
    layout->addWidget(stack_);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { Click(); });
    connect(&tabs.Model(tree), &QAbstractItemModel::modelReset, this, [this] { Click(); });
}

int TSlotsPage::selected() const { return TConfigSlots::SelectedSlot(view_->selectionModel()->selectedRows()); }

bool TSlotsPage::PanelVisible() const { return stack_->currentIndex() == 1; }

QWidget* TSlotsPage::buildPanel() {
    auto* panel = new QWidget;
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    // The caption's name is the value label's with "Caption" added.
    const auto spin = [&](const char* name, const char* caption, int low, int high, int row, QLabel*& after,
                          const char* afterName, const char* afterText) {
        auto* edit = new QSpinBox;
        edit->setObjectName(name);
        edit->setRange(low, high);
        auto* captionLabel = new QLabel(caption);
        captionLabel->setObjectName(QString(afterName) + "Caption");
        grid->addWidget(captionLabel, row, 0);
        grid->addWidget(edit, row, 1);
        after = new QLabel(afterText);
        after->setObjectName(afterName);
        grid->addWidget(after, row, 2);
        return edit;
    };
    const auto box = [&](const char* name, const char* caption, int row) {
        auto* check = new QCheckBox(caption);
        check->setObjectName(name);
        grid->addWidget(check, row, 0, 1, 3);
        return check;
    };
    switch (tree_) {
    case TSlotTree::Temps:
        first_ = spin("EDWantedTemp", "Desired", -60, 99, 0, firstLabel_, "LABWantedTemp", "");
        second_ = spin("EDWarningTemp", "Warning", -60, 125, 1, secondLabel_, "LABWarningTemp", "");
        flag_ = box("CBShowInTray", "Show in tray", 2);
        logged_ = box("CBTempLogged", "Logged", 3);
        connect(first_, &QSpinBox::valueChanged, this, [this](int v) {
            firstLabel_->setText(Q(TConfigSlots::FahrenheitLabel(v)));
            slots_.EDWantedTempChange(selected(), v);
        });
        connect(second_, &QSpinBox::valueChanged, this, [this](int v) {
            secondLabel_->setText(Q(TConfigSlots::FahrenheitLabel(v)));
            slots_.EDWarningTempChange(selected(), v);
        });
        connect(flag_, &QCheckBox::toggled, this, [this](bool on) { slots_.CBShowInTrayClick(selected(), on); });
        connect(logged_, &QCheckBox::toggled, this, [this](bool on) { slots_.CBTempLoggedClick(selected(), on); });
        break;
    case TSlotTree::Fans:
        logged_ = box("CBFanLogged", "Logged", 0);
        connect(logged_, &QCheckBox::toggled, this, [this](bool on) { slots_.CBFanLoggedClick(selected(), on); });
        break;
    case TSlotTree::Volts:
        logged_ = box("CBVoltLogged", "Logged", 0);
        connect(logged_, &QCheckBox::toggled, this, [this](bool on) { slots_.CBVoltLoggedClick(selected(), on); });
        break;
    case TSlotTree::Pwms:
        first_ = spin("EDMinPwm", "Minimum value", 0, 100, 0, firstLabel_, "LABMinPwm", "%");
        second_ = spin("EDMaxPwm", "Maximum value", 0, 100, 1, secondLabel_, "LABMaxPwm", "%");
        flag_ = box("CBAutoVariate", "Automatically variated", 2);
        logged_ = box("CBPwmLogged", "Logged", 3);
        connect(first_, &QSpinBox::textChanged, this,
                [this](const QString& text) { slots_.EDMinPwmChange(selected(), text.toStdString()); });
        connect(second_, &QSpinBox::textChanged, this,
                [this](const QString& text) { slots_.EDMaxPwmChange(selected(), text.toStdString()); });
        connect(flag_, &QCheckBox::toggled, this, [this](bool on) { slots_.CBAutoVariateClick(selected(), on); });
        connect(logged_, &QCheckBox::toggled, this, [this](bool on) { slots_.CBPwmLoggedClick(selected(), on); });
        break;
    }
    grid->setColumnStretch(3, 1);
    return panel;
}

void TSlotsPage::Click() {
    const int slot = selected();
    if (slot < 0) {
        stack_->setCurrentIndex(0);
        return;
    }
    const TUsedData& data = slots_.Model(tree_).Slots()[static_cast<std::size_t>(slot)];
    const auto setFlags = [this](QCheckBox* flag, bool flagValue, bool logged) {
        data_.Updating = true;
        if (flag) flag->setChecked(flagValue);
        logged_->setChecked(logged);
        data_.Updating = false;
    };
    switch (tree_) {
    case TSlotTree::Temps:
        first_->setValue(data.Wanted);
        second_->setValue(data.Warning);
        firstLabel_->setText(Q(TConfigSlots::FahrenheitLabel(data.Wanted)));
        secondLabel_->setText(Q(TConfigSlots::FahrenheitLabel(data.Warning)));
        setFlags(flag_, data.InTray, data.Logged);
        break;
    case TSlotTree::Pwms:
        first_->setValue(data.MinPercent);
        second_->setValue(data.MaxPercent);
        setFlags(flag_, data.Variate, data.Logged);
        break;
    case TSlotTree::Fans:
    case TSlotTree::Volts: setFlags(nullptr, false, data.Logged); break;
    }
    stack_->setCurrentIndex(1);
}
