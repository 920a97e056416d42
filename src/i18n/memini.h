#pragma once
// An INI file held wholly in memory, and the field helpers every reader of a
// translation line uses.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// ASCII case-folded comparison: identifiers sort and match alike everywhere.
int CompareTextAscii(std::string_view a, std::string_view b);

struct TLessTextAscii {
    bool operator()(const std::string& a, const std::string& b) const { return CompareTextAscii(a, b) < 0; }
};

// 1-based position of pattern in text (Boyer-Moore-Horspool); 0 when absent,
// 1 for an empty pattern.
std::size_t FastPos(std::string_view pattern, std::string_view text);

// Field n of a delimited text: field 0 runs up to the first delimiter, field n
// follows the n-th, also when the text starts with one.
std::string ExtractField(std::string_view text, char delimiter, unsigned n);
// Field n of a wide text, only when a delimiter closes it.
std::u16string ExtractFieldW(std::u16string_view text, char16_t delimiter, unsigned n);

class TsiCustomIniFile {
public:
    explicit TsiCustomIniFile(std::string fileName) : FileName_(std::move(fileName)) {}
    virtual ~TsiCustomIniFile() = default;

    const std::string& FileName() const { return FileName_; }

    virtual std::string GetValue(const std::string& section, const std::string& key, const std::string& def) const = 0;
    virtual void SetValue(const std::string& section, const std::string& key, const std::string& value) = 0;
    virtual int GetIntValue(const std::string& section, const std::string& key, int def) const;
    virtual void SetIntValue(const std::string& section, const std::string& key, int value);
    virtual bool GetBoolValue(const std::string& section, const std::string& key, bool def) const;
    virtual void SetBoolValue(const std::string& section, const std::string& key, bool value);
    // In the user's number format.
    virtual double GetFloatValue(const std::string& section, const std::string& key, double def) const;
    virtual void SetFloatValue(const std::string& section, const std::string& key, double value);
    // Dates and times (days since 1899-12-30) in the user's short date and
    // long time formats.
    virtual double GetDateValue(const std::string& section, const std::string& key, double def) const;
    virtual double GetDateTimeValue(const std::string& section, const std::string& key, double def) const;
    virtual double GetTimeValue(const std::string& section, const std::string& key, double def) const;
    virtual void SetDateValue(const std::string& section, const std::string& key, double value);
    virtual void SetDateTimeValue(const std::string& section, const std::string& key, double value);
    virtual void SetTimeValue(const std::string& section, const std::string& key, double value);

    virtual std::vector<std::string> ListKeys(const std::string& section) const = 0;
    virtual std::vector<std::string> ListSections() const = 0;
    virtual std::vector<std::string> ListSectionValues(const std::string& section) const = 0;
    virtual void RemoveSection(const std::string& section) = 0;
    virtual void RemoveKey(const std::string& section, const std::string& key) = 0;
    virtual void Flush() = 0;

    // A section without keys counts as absent.
    bool HasSection(const std::string& section) const { return !ListKeys(section).empty(); }

private:
    std::string FileName_;
};

// One section: keys sorted without regard to case; a new key goes before
// equal keys already there and look-ups find the first, so the last of
// repeated lines wins.
class TMemIniEntry {
public:
    std::size_t AddLine(std::string_view line);
    std::size_t AddPair(std::string key, std::string value);
    static std::pair<std::string, std::string> SplitLine(std::string_view line);
    std::size_t KeyCount() const { return Keys_.size(); }
    const std::string& KeyAt(std::size_t i) const { return Keys_[i].first; }
    const std::string& ValueAt(std::size_t i) const { return Keys_[i].second; }
    std::string LineAt(std::size_t i) const { return Keys_[i].first + "=" + Keys_[i].second; }
    // The first equal key.
    bool FindKey(std::string_view key, std::size_t& index) const;
    void DeleteAt(std::size_t i) { Keys_.erase(Keys_.begin() + static_cast<std::ptrdiff_t>(i)); }
    void ClearKeys() { Keys_.clear(); }
    void Assign(const std::vector<std::string>& lines);

private:
    std::vector<std::pair<std::string, std::string>> Keys_;
};

class TsiMemIniFile : public TsiCustomIniFile {
public:
    explicit TsiMemIniFile(std::string fileName);

    void Reload();
    void LoadLines(const std::vector<std::string>& lines);
    void LoadFromText(std::string_view text);
    // Appends; the target is not cleared first.
    void SaveLines(std::vector<std::string>& lines) const;

    std::string GetValue(const std::string& section, const std::string& key, const std::string& def) const override;
    void SetValue(const std::string& section, const std::string& key, const std::string& value) override;
    std::vector<std::string> ListKeys(const std::string& section) const override;
    std::vector<std::string> ListSections() const override;
    std::vector<std::string> ListSectionValues(const std::string& section) const override;
    void RemoveSection(const std::string& section) override;
    void RemoveKey(const std::string& section, const std::string& key) override;
    // Writes the file named at creation.
    void Flush() override;

    TMemIniEntry& AddSection(const std::string& name);
    void ClearSections();
    bool Changed() const { return Changed_; }

private:
    const TMemIniEntry* Find(const std::string& section) const;

    std::map<std::string, TMemIniEntry, TLessTextAscii> Sections_;
    bool Changed_ = false;
};

// Splits at CR LF, lone CR and lone LF.
std::vector<std::string> SplitTextLines(std::string_view text);
