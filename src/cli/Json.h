#pragma once
// A JSON object written in insertion order: what fimtool prints on stdout.

#include <string>
#include <vector>

namespace fim::cli {

class JsonObject {
public:
    void Add(const std::string& key, const std::string& value);
    void Add(const std::string& key, const char* value) { Add(key, std::string(value)); }
    void Add(const std::string& key, int value);
    // Non-finite numbers are written as null (JSON has no NaN).
    void Add(const std::string& key, double value);
    void Add(const std::string& key, const std::vector<std::string>& values);
    void AddNull(const std::string& key);
    void AddBool(const std::string& key, bool value);
    // A nested object, and an array of objects.
    void Add(const std::string& key, const JsonObject& value);
    void Add(const std::string& key, const std::vector<JsonObject>& values);
    std::string Text() const;
    // Writes Text() and a line end to stdout.
    void Print() const;

    static std::string Quote(const std::string& text);

private:
    std::vector<std::pair<std::string, std::string>> members_;
};

}  // namespace fim::cli
