// String lists. TStrings is the abstract list (one string and one optional object pointer per
// entry, text and delimited-text forms, an update bracket); TStringList keeps the strings,
// optionally sorted, comparing without regard to case unless CaseSensitive (the code page 1252
// locale rules of rtl::AnsiCompareText / AnsiCompareStr).
//
// Add, Insert, Delete and Clear are virtual so a derived list can replace them; TStringList's
// own Add and Clear never go through the virtual Insert and Delete.
// In a description a string list is read in place: "Lines.Strings = ( 'a' 'b' )", or simply
// "Lines = ( 'a' 'b' )": Clear and Add inside one BeginUpdate/EndUpdate bracket.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/method.h"
#include "platform/classes/object.h"

namespace classes {

class TStrings : public TPersistent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  std::string operator[](int index) const { return Get(index); }
  virtual void Put(int index, const std::string& s);
  virtual TObject* GetObject(int index) const;
  virtual void PutObject(int index, TObject* object);

  // Returns the position of the new (or, in a sorted list that ignores duplicates, the
  // existing) entry.
  virtual int Add(const std::string& s);
  int AddObject(const std::string& s, TObject* object);
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual int IndexOf(const std::string& s) const;
  int IndexOfObject(const TObject* object) const;
  void AddStrings(const TStrings& strings);
  void Assign(const TPersistent& source) override;
  bool Equals(const TStrings& other) const;

  // Every entry followed by CR LF; setting splits at CR LF, CR or LF.
  std::string Text() const;
  void SetText(std::string_view text);
  // Entries joined by the delimiter; an entry holding the delimiter or the quote character is
  // quoted (the quote doubled inside). Setting splits at each delimiter outside quotes.
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char c) { delimiter_ = c; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char c) { quoteChar_ = c; }
  std::string DelimitedText() const;
  void SetDelimitedText(std::string_view text);

  // Change notifications are held back between the outer BeginUpdate and EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  void DefineProperties(TFiler& filer) override;

 protected:
  virtual void SetUpdateState(bool /*updating*/) {}
  // <0, 0, >0; the base compares without regard to case.
  virtual int CompareStrings(const std::string& a, const std::string& b) const;
  [[noreturn]] static void IndexError(int index);

 private:
  int updateCount_ = 0;
  char delimiter_ = ',';
  char quoteChar_ = '"';
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
  CLASSES_DECLARE_CLASSINFO()
 public:
  TStringList() = default;

  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;  // EListError on a sorted list
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  int Add(const std::string& s) override;
  void Insert(int index, const std::string& s) override;  // EListError on a sorted list
  void Delete(int index) override;
  void Clear() override;
  int IndexOf(const std::string& s) const override;
  // In a sorted list: whether s is there, and the position of it or where it would go.
  virtual bool Find(const std::string& s, int& index) const;
  virtual void Sort();

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value);

  // Fired after each change, or once at the outer EndUpdate when something changed.
  const TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(TNotifyEvent e) { onChange_ = std::move(e); }

 protected:
  void SetUpdateState(bool updating) override;
  int CompareStrings(const std::string& a, const std::string& b) const override;
  virtual void Changed();
  void InsertItem(int index, const std::string& s, TObject* object);

 private:
  struct Item {
    std::string text;
    TObject* object = nullptr;
  };
  void CheckIndex(int index) const;

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
  bool changedWhileUpdating_ = false;
  TNotifyEvent onChange_;
};

}  // namespace classes
