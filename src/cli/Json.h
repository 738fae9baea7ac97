#pragma once
// fimtool's JSON on stdout: a nlohmann-json object in insertion order, written on one line as the
// scripts read it ({"key": value, ...}). Counts go in as integers and print as integers.

#include <concepts>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace fim::cli {

class JsonObject {
  public:
    void Add(const std::string& key, const std::string& value) { doc_[key] = value; }
    void Add(const std::string& key, const char* value) { doc_[key] = std::string(value); }
    // Whole numbers: counts, indices, rates held as integers.
    template <std::integral T>
    void Add(const std::string& key, T value) {
        doc_[key] = value;
    }
    // Non-finite numbers are written as null (JSON has no NaN).
    void Add(const std::string& key, double value) { doc_[key] = value; }
    void Add(const std::string& key, const std::vector<std::string>& values) { doc_[key] = values; }
    void AddNull(const std::string& key) { doc_[key] = nullptr; }
    void AddBool(const std::string& key, bool value) { doc_[key] = value; }
    // A nested object, and an array of objects.
    void Add(const std::string& key, const JsonObject& value) { doc_[key] = value.doc_; }
    void Add(const std::string& key, const std::vector<JsonObject>& values);
    std::string Text() const;
    // Writes Text() and a line end to stdout.
    void Print() const;

  private:
    nlohmann::ordered_json doc_ = nlohmann::ordered_json::object();
};

}  // namespace fim::cli
