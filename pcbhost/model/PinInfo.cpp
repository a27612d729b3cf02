#include "pcbhost/model/PinInfo.h"

namespace pcbhost {

namespace {

using TReportPtr = std::shared_ptr<const fpga::TPinReport>;

class TFieldDescriptor : public TUnknownImpl<IPinFieldDescriptor> {
public:
    explicit TFieldDescriptor(std::int32_t column) : FColumn(column) {}
    std::int32_t ColumnIndex() override { return FColumn; }

private:
    std::int32_t FColumn;
};

class TColumnDescriptor : public TUnknownImpl<IPinColumnDescriptor> {
public:
    explicit TColumnDescriptor(std::string title) : FTitle(std::move(title)) {}
    std::string Title() override { return FTitle; }

private:
    std::string FTitle;
};

// Pins refer to their report, not to each other, so partners form no reference cycle.
class TInfoPin : public TUnknownImpl<IPinInfoPin> {
public:
    TInfoPin(TReportPtr report, std::size_t index) : FReport(std::move(report)), FIndex(index) {}
    std::string Name() override { return Pin().Name; }
    IPtr<IPinInfoPin> DifferentialPartner() override {
        if (Pin().Partner < 0)
            return nullptr;
        return MakeObject<TInfoPin>(FReport, std::size_t(Pin().Partner));
    }
    std::string ValueOfKind(TPinReportFileFieldKind kind) override {
        return kind >= 0 && kind < cPinReportFileFieldKindCount ? Pin().Kinds[std::size_t(kind)]
                                                                : std::string();
    }
    std::string ValueOfColumn(std::int32_t column) override {
        return column >= 0 && std::size_t(column) < Pin().Values.size() ? Pin().Values[std::size_t(column)]
                                                                        : std::string();
    }

private:
    const fpga::TReportPin& Pin() const { return FReport->Pins[FIndex]; }
    TReportPtr FReport;
    std::size_t FIndex;
};

class TPinTable : public TUnknownImpl<IPinTable> {
public:
    explicit TPinTable(TReportPtr report) : FReport(std::move(report)) {}
    IPtr<IPinFieldDescriptor> FieldDescriptor(TPinReportFileFieldKind kind) override {
        if (kind < 0 || kind >= cPinReportFileFieldKindCount || FReport->KindColumn[std::size_t(kind)] < 0)
            return nullptr;
        return MakeObject<TFieldDescriptor>(FReport->KindColumn[std::size_t(kind)]);
    }
    std::int32_t ColumnCount() override { return std::int32_t(FReport->Titles.size()); }
    IPtr<IPinColumnDescriptor> ColumnDescriptor(std::int32_t index) override {
        if (index < 0 || index >= ColumnCount())
            return nullptr;
        return MakeObject<TColumnDescriptor>(FReport->Titles[std::size_t(index)]);
    }
    std::int32_t PinCount() override { return std::int32_t(FReport->Pins.size()); }
    IPtr<IPinInfoPin> Pin(std::int32_t index) override {
        if (index < 0 || index >= PinCount())
            return nullptr;
        return MakeObject<TInfoPin>(FReport, std::size_t(index));
    }

private:
    TReportPtr FReport;
};

class TComponentInfo : public TUnknownImpl<IComponentInfo> {
public:
    explicit TComponentInfo(TReportPtr report) : FReport(std::move(report)) {}
    std::string Name() override { return FReport->Device; }
    IPtr<IPinTable> PinTable() override { return MakeObject<TPinTable>(FReport); }

private:
    TReportPtr FReport;
};

class TPinFile : public TUnknownImpl<IPinFile> {
public:
    explicit TPinFile(TReportPtr report) : FReport(std::move(report)) {}
    std::int32_t ComponentCount() override { return 1; }
    IPtr<IComponentInfo> Component(std::int32_t index) override {
        return index == 0 ? PinReport_ComponentInfo(FReport) : nullptr;
    }

private:
    TReportPtr FReport;
};

} // namespace

TPinReportDocument::TPinReportDocument(std::string path, std::shared_ptr<const fpga::TPinReport> report)
    : FPath(std::move(path)), FReport(std::move(report)) {}

IPtr<IPinFile> TPinReportDocument::PinFile() {
    return MakeObject<TPinFile>(FReport);
}

IPtr<IComponentInfo> PinReport_ComponentInfo(std::shared_ptr<const fpga::TPinReport> report) {
    return MakeObject<TComponentInfo>(std::move(report));
}

} // namespace pcbhost
