#pragma once

#include <map>

class HReporter;

// Command-line parser over C strings: an option table, "@file" indirect
// argument files, and errors counted by a reporter.
class ArgParse {
public:
    typedef void (ArgParse::*Handler)(const char* option, const char* argument);

    enum Kind {
        NoArgument = 0,   // the option stands alone
        NextWord = 1,     // its argument is the next word
        AttachedWord = 2, // its argument is the rest of the option's word
    };

    struct Option {
        int kind = NoArgument;
        bool hasHandler = false;
        Handler handler = nullptr;
        const char** variable = nullptr; // receives the argument when there is no handler
        bool* flag = nullptr;            // set to true when there is no handler
    };

    // Descending strcmp order: of two options where one is a prefix of the
    // other, the longer is tried first when matching attached arguments.
    struct Cstring_greater {
        bool operator()(const char* a, const char* b) const;
    };

    // Indirect files nest at most this deep.
    static const int maxIndirectDepth = 100;
    // Files read for one "@" word of the command line, nested ones included:
    // a bound on runaway multiplication, far beyond any real use.
    static const int maxIndirectFiles = 2000;
    // A line of an indirect file is read in pieces of at most this many bytes.
    static const int lineBufferSize = 1024;
    // Words per line of an indirect file; a line with more is refused.
    static const int maxWordsPerLine = 256;

    explicit ArgParse(HReporter* reporter);
    virtual ~ArgParse();

    virtual void onArgument(const char* argument) = 0;

    void onOptionSetFlag(const char* option, bool* flag);
    void onOption(const char* option, int kind, Handler handler);

    void parse(int count, char** words);
    void parseArgsFromIndirectFile(const char* path);
    // Splits text in place into at most maxWordsPerLine words (the array must
    // hold that many); fileName is null for text not read from a file.
    int argifyLine(const char* fileName, int lineNumber, char* text, char** words);

    HReporter* reporter() const { return m_report; }
    int indirectDepth() const { return m_indirectDepth; }

protected:
    void error(const char* message, const char* detail = nullptr);

private:
    std::map<const char*, Option, Cstring_greater> m_options;
    int m_indirectDepth = 0;
    int m_indirectFilesRead = 0;
    HReporter* m_report;
};
