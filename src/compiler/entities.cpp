// entities.cpp - handlers of the entity sections: records, texts, vocabulary and variables.
#include "compiler/reader.h"

#include <cstring>
#include <string>

using namespace umb::db;

namespace umb::compiler {

namespace {

// A record line split into its fields; field 1 (the record number) is already read.
struct RecordLine {
    char copy[512];
    FieldSplitter fields;
    long number;
    char* rest;  // everything after the comma that ends field 1, or nullptr when there is none
};

// Grammar: '#' number [',' field]... ; splits off field 1 of a copy of the line.
void OpenRecord(Compiler& c, RecordLine& rec, const char* line) {
    std::strncpy(rec.copy, line + 1, sizeof rec.copy - 1);
    rec.copy[sizeof rec.copy - 1] = '\0';
    rec.fields.next = rec.copy;
    const char* number = SplitField(rec.fields);
    rec.number = ReadNumber(number);
    CheckNumberField(c, number, "the record number");
    rec.rest = rec.fields.next;
}

// Starts a header line of a numbered table whose text lines follow it: reads the record number
// into rec and forgets the record open before, so that text lines after a refused header attach
// to nothing. NumberOutOfRange for a number outside low..high; else Ok with the table grown to
// hold the record, current naming it and its text not begun.
Diagnostic OpenNumberedRecord(Compiler& c, RecordLine& rec, const char* line, long low, long high,
                              void (*grow)(GameDatabase&, int), int& current, bool* textBegun) {
    OpenRecord(c, rec, line);
    current = -1;
    if (rec.number < low || rec.number > high) return Diagnostic::NumberOutOfRange;
    grow(*c.Db, static_cast<int>(rec.number));
    current = static_cast<int>(rec.number);
    if (textBegun != nullptr) *textBegun = false;
    return Diagnostic::Ok;
}

// Stores the next field of a record line as a new text; false when the line has no more fields.
bool TakeTextField(Compiler& c, RecordLine& rec, TextRef& out) {
    const char* field = SplitField(rec.fields);
    if (field == nullptr) return false;
    out = StoreSourceText(c, field, false);
    return true;
}

// Reads the next field of a record line as a number (what names it in a finding); false when the
// line has no more fields.
bool TakeNumberField(Compiler& c, RecordLine& rec, int16_t& out, const char* what) {
    const char* field = SplitField(rec.fields);
    if (field == nullptr) return false;
    out = ReadNumber16(field);
    CheckNumberField(c, field, what);
    return true;
}

// [Sysmsg] and [Directions]: '#' number ',' text; number 1 is at table[1 - firstIndex]
Diagnostic HandleFixedText(Compiler& c, const char* line, TextRef* table, long high,
                           long firstIndex) {
    if (line[0] != '#') return Diagnostic::NotRecordLine;
    RecordLine rec;
    OpenRecord(c, rec, line);
    if (rec.number < 1 || rec.number > high) return Diagnostic::NumberOutOfRange;
    if (rec.rest == nullptr) return Diagnostic::MissingField;
    table[rec.number - firstIndex] = StoreSourceText(c, rec.rest, false);
    return Diagnostic::Ok;
}

// Stores a text line of record current of table (none open when negative) into its field: the
// first as a new text, later ones joined to the text stored last.
template <typename Record>
Diagnostic StoreRecordText(Compiler& c, std::vector<Record>& table, TextRef Record::*field,
                           int current, bool& begun, const char* line) {
    if (current < 0) return Diagnostic::NoRecordOpen;
    if (!begun) {
        table[static_cast<size_t>(current)].*field = StoreSourceText(c, line, false);
        begun = true;
    } else {
        StoreSourceText(c, line, true);
    }
    return Diagnostic::Ok;
}

// [Intro] and [Shows]: '#' number ',' picture
Diagnostic HandleShow(Compiler& c, const char* line) {
    GameDatabase& db = *c.Db;
    if (line[0] != '#')
        return StoreRecordText(c, db.Shows, &ShowRecord::text, c.CurrentShow, c.ShowTextBegun,
                               line);
    RecordLine rec;
    const Diagnostic opened =
        OpenNumberedRecord(c, rec, line, 1, 32767, GrowShows, c.CurrentShow, &c.ShowTextBegun);
    if (opened != Diagnostic::Ok) return opened;
    const char* picture = SplitField(rec.fields);
    if (picture == nullptr) return Diagnostic::MissingField;
    db.Shows[static_cast<size_t>(rec.number)].picture = StoreSourceText(c, picture, false);
    return Diagnostic::Ok;
}

// [Locations]: '#' number ',' name ',' picture ',' flags [',' exit]...
Diagnostic HandleLocation(Compiler& c, const char* line) {
    GameDatabase& db = *c.Db;
    if (line[0] != '#')
        return StoreRecordText(c, db.Locations, &LocationRecord::description, c.CurrentLocation,
                               c.LocationTextBegun, line);
    RecordLine rec;
    const Diagnostic opened = OpenNumberedRecord(c, rec, line, 0, 32766, GrowLocations,
                                                 c.CurrentLocation, &c.LocationTextBegun);
    if (opened != Diagnostic::Ok) return opened;
    LocationRecord& loc = db.Locations[static_cast<size_t>(rec.number)];
    if (!TakeTextField(c, rec, loc.name)) return Diagnostic::MissingField;
    const char* picture = SplitField(rec.fields);
    if (picture == nullptr) return Diagnostic::MissingField;
    if (picture[0] != '\0') loc.picture = StoreSourceText(c, picture, false);
    if (!TakeNumberField(c, rec, loc.flags, "the flags")) return Diagnostic::MissingField;
    for (int16_t& exit : loc.exits) {
        const char* field = SplitField(rec.fields);
        if (field == nullptr) break;
        exit = ReadNumber16(field);
        if (c.Check != nullptr) {
            const std::string what = "exit " + std::to_string(&exit - loc.exits + 1);
            CheckNumberField(c, field, what.c_str());
        }
    }
    return Diagnostic::Ok;
}

// [Objects]: '#' number ',' name ',' location ',' attributes [',' noun]
Diagnostic HandleObject(Compiler& c, const char* line) {
    GameDatabase& db = *c.Db;
    if (line[0] != '#')
        return StoreRecordText(c, db.Objects, &ObjectRecord::description, c.CurrentObject,
                               c.ObjectTextBegun, line);
    RecordLine rec;
    const Diagnostic opened = OpenNumberedRecord(c, rec, line, 1, 32766, GrowObjects,
                                                 c.CurrentObject, &c.ObjectTextBegun);
    if (opened != Diagnostic::Ok) return opened;
    ObjectRecord& obj = db.Objects[static_cast<size_t>(rec.number)];
    if (!TakeTextField(c, rec, obj.name) ||
        !TakeNumberField(c, rec, obj.initialLocation, "the object's place") ||
        !TakeNumberField(c, rec, obj.attributes, "the attributes"))
        return Diagnostic::MissingField;
    const char* noun = SplitField(rec.fields);
    if (noun == nullptr) {
        obj.noun = static_cast<int16_t>(rec.number);
    } else {
        bool written = false;
        obj.noun = ReadNumber16(noun, &written);
        if (!written) {
            obj.noun = static_cast<int16_t>(FindNoun(db, noun));
            if (obj.noun == 0) NoteSkippedWord(c, noun, false);
        }
    }
    return Diagnostic::Ok;
}

// [Messages]: '#' number ',' text, then text lines that continue it
Diagnostic HandleMessage(Compiler& c, const char* line) {
    GameDatabase& db = *c.Db;
    if (line[0] != '#') {
        if (c.CurrentMessage < 0) return Diagnostic::NoRecordOpen;
        StoreSourceText(c, line, true);
        return Diagnostic::Ok;
    }
    RecordLine rec;
    const Diagnostic opened =
        OpenNumberedRecord(c, rec, line, 1, 32766, GrowMessages, c.CurrentMessage, nullptr);
    if (opened != Diagnostic::Ok) return opened;
    if (rec.rest == nullptr) {
        c.CurrentMessage = -1;  // a header without its text leaves no message to continue
        return Diagnostic::MissingField;
    }
    db.Messages[static_cast<size_t>(rec.number)] = StoreSourceText(c, rec.rest, false);
    return Diagnostic::Ok;
}

// [Verbs] and [Nouns]: '#' number ',' word [',' word]...
Diagnostic HandleWords(Compiler& c, const char* line, bool verbs) {
    if (line[0] != '#') return Diagnostic::NotRecordLine;
    RecordLine rec;
    OpenRecord(c, rec, line);
    if (rec.number < 1 || rec.number > 32766) return Diagnostic::NumberOutOfRange;
    if (rec.rest == nullptr) return Diagnostic::MissingField;
    const auto number = static_cast<int16_t>(rec.number);
    for (const char* word = SplitField(rec.fields); word != nullptr;
         word = SplitField(rec.fields)) {
        const size_t len = std::strlen(word);
        const DbResult full =
            verbs ? AppendVerb(*c.Db, word, len, number) : AppendNoun(*c.Db, word, len, number);
        if (full != DbResult::Ok) return Diagnostic::TableFull;
    }
    return Diagnostic::Ok;
}

// [Vars]: name [',' name]...
Diagnostic HandleVars(Compiler& c, const char* line) {
    char copy[512];
    std::strncpy(copy, line, sizeof copy - 1);
    copy[sizeof copy - 1] = '\0';
    FieldSplitter fields{copy};
    for (const char* name = SplitField(fields); name != nullptr; name = SplitField(fields))
        if (AppendVar(*c.Db, name, std::strlen(name)) != DbResult::Ok) break;
    return Diagnostic::Ok;
}

}  // namespace

char* SplitField(FieldSplitter& s) {
    char* field = s.next;
    if (field == nullptr) return nullptr;
    char* comma = std::strchr(field, ',');
    if (comma != nullptr) {
        *comma = '\0';
        s.next = comma + 1;
    } else {
        s.next = nullptr;
    }
    return field;
}

long ReadNumber(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long value = 0;
    // The cap keeps value * 10 + 9 within a 32-bit long.
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value < 100000000L) value = value * 10 + (*p - '0');
    return negative ? -value : value;
}

int16_t ReadNumber16(const char* text, bool* written) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    uint16_t value = 0;
    bool nonZero = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = static_cast<uint16_t>(value * 10u + static_cast<unsigned>(*p - '0'));
        nonZero = nonZero || *p != '0';
    }
    if (negative) value = static_cast<uint16_t>(0u - value);
    if (written != nullptr) *written = nonZero;
    return static_cast<int16_t>(value);
}

TextRef StoreSourceText(Compiler& c, const char* text, bool continuePrevious) {
    const TextRef ref = StoreText(*c.Db, text, std::strlen(text), continuePrevious);
    if (ref == NoText) c.HeapFull = true;
    return ref;
}

Diagnostic HandleEntityLine(Compiler& c, Section section, char* line) {
    switch (section) {
    case Section::Sysmsg: return HandleFixedText(c, line, c.Db->Sysmsg, 31, 0);
    case Section::Directions: return HandleFixedText(c, line, c.Db->Directions, 10, 1);
    case Section::Shows: return HandleShow(c, line);
    case Section::Locations: return HandleLocation(c, line);
    case Section::Objects: return HandleObject(c, line);
    case Section::Messages: return HandleMessage(c, line);
    case Section::Verbs: return HandleWords(c, line, true);
    case Section::Nouns: return HandleWords(c, line, false);
    case Section::Vars: return HandleVars(c, line);
    default: return Diagnostic::NoSection;
    }
}

}  // namespace umb::compiler
