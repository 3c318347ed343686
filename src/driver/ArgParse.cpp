#include "driver/ArgParse.h"

#include "base/HReporter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

bool ArgParse::Cstring_greater::operator()(const char* a, const char* b) const {
    return std::strcmp(a, b) > 0;
}

ArgParse::ArgParse(HReporter* reporter) : m_report(reporter) {}

ArgParse::~ArgParse() = default;

void ArgParse::error(const char* message, const char* detail) {
    std::string text(message);
    if (detail) text += detail;
    m_report->error(text.c_str());
}

void ArgParse::onOptionSetFlag(const char* option, bool* flag) {
    Option o;
    o.flag = flag;
    m_options[option] = o;
}

void ArgParse::onOption(const char* option, int kind, Handler handler) {
    Option o;
    o.kind = kind;
    o.hasHandler = true;
    o.handler = handler;
    m_options[option] = o;
}

void ArgParse::parse(int count, char** words) {
    for (int i = 0; i < count; ++i) {
        char* word = words[i];
        const char* optionText = nullptr;
        const Option* option = nullptr;
        const char* argument = nullptr;

        auto found = m_options.find(word);
        if (found != m_options.end()) {
            optionText = found->first;
            option = &found->second;
        } else {
            for (const auto& entry : m_options) {
                if (entry.second.kind != AttachedWord) continue;
                const size_t length = std::strlen(entry.first);
                if (std::strncmp(word, entry.first, length) == 0) {
                    optionText = entry.first;
                    option = &entry.second;
                    argument = word + length;
                    break;
                }
            }
        }

        if (!option) {
            if (word[0] == '@')
                parseArgsFromIndirectFile(word + 1);
            else if (word[0] != '-')
                onArgument(word);
            else
                error("unrecognised option ", word);
            continue;
        }

        if (option->kind == NextWord) {
            if (i + 1 >= count) {
                error("expected argument for option ", word);
                return;
            }
            argument = words[++i];
        } else if (option->kind == NoArgument) {
            argument = nullptr;
        } else {
            // Also when the whole word matched: the attached argument is then empty.
            argument = word + std::strlen(optionText);
        }

        if (option->hasHandler) {
            (this->*(option->handler))(optionText, argument);
        } else {
            if (option->flag) *option->flag = true;
            if (option->variable) *option->variable = argument;
        }
    }
}

void ArgParse::parseArgsFromIndirectFile(const char* path) {
    // Every "@" word is handled on its own: refused while 100 files are open,
    // read otherwise. Files naming several others can still multiply the reads
    // at every level, so one "@" word of the command line may cause at most
    // maxIndirectFiles reads; past that each further "@" word is refused too.
    if (m_indirectDepth == maxIndirectDepth || m_indirectFilesRead == maxIndirectFiles) {
        error("too many indirect files");
        return;
    }
    // A directory opens for reading but yields nothing: refuse it like a missing file.
    struct stat info;
    FILE* file = ::stat(path, &info) == 0 && S_ISDIR(info.st_mode) ? (errno = EISDIR, nullptr)
                                                                   : std::fopen(path, "r");
    if (!file) {
        const std::string reason = std::strerror(errno);
        error("can't open indirect file ", (std::string(path) + ": " + reason).c_str());
        return;
    }
    // An option handler may throw (as "-help" does): the file is closed and
    // the nesting undone on that path too.
    struct Reading {
        ArgParse& parser;
        FILE* file;
        ~Reading() {
            std::fclose(file);
            if (--parser.m_indirectDepth == 0) parser.m_indirectFilesRead = 0;
        }
    } reading{*this, file};
    ++m_indirectDepth;
    ++m_indirectFilesRead;
    char buffer[lineBufferSize];
    char* words[maxWordsPerLine];
    int lineNumber = 0;
    while (std::fgets(buffer, sizeof buffer, file)) {
        ++lineNumber;
        if (buffer[0] == '#') continue;
        const int count = argifyLine(path, lineNumber, buffer, words);
        if (count > 0) parse(count, words);
    }
}

int ArgParse::argifyLine(const char* fileName, int lineNumber, char* text, char** words) {
    int count = 0;
    char* p = text;
    for (;;) {
        while (*p == ' ')
            ++p;
        if (*p == '\0' || *p == '\n') break;
        if (count == maxWordsPerLine) {
            if (fileName)
                error("too many arguments in indirect file ",
                      (std::string(fileName) + "(" + std::to_string(lineNumber) + ")").c_str());
            else
                error("too many arguments in command line");
            return 0;
        }
        if (*p == '"') {
            char* start = ++p;
            while (*p != '"' && *p != '\0' && *p != '\n')
                ++p;
            if (*p != '"') {
                if (fileName)
                    error("unterminated string in indirect file ",
                          (std::string(fileName) + "(" + std::to_string(lineNumber) + ")").c_str());
                else
                    error("unterminated string in command line");
                return 0;
            }
            *p++ = '\0';
            words[count++] = start;
            continue;
        }
        words[count++] = p;
        while (*p != ' ' && *p != '\0' && *p != '\n')
            ++p;
        if (*p == '\0') break;
        // A blank or the line feed ends the word and, for a line feed, the line.
        const bool endOfLine = *p == '\n';
        *p++ = '\0';
        if (endOfLine) break;
    }
    return count;
}
