#pragma once

#include <QString>
#include <QStringList>

namespace kesola {

// Patient names are typed in every form the input method offers: hiragana or katakana, full-width or half-width
// letters and digits, with or without the space between family and given name. The search compares names in one
// form: katakana for hiragana, half-width katakana made full-width (with its sound marks joined), full-width
// letters and digits made half-width, letters of either case in lower case, every space (half-width, ideographic,
// tab) dropped.
QString normalisedName(const QString& name);

// True when the stored name, normalised, contains the normalised text. Requires: normalisedText non-empty and
// already normalised.
bool nameContains(const QString& storedName, const QString& normalisedText);

// The characters whose presence in a stored name a match of the normalised character needs: the character itself
// and every form that normalises to it or (a half-width letter before its sound mark) into it. A database can look
// for these with LIKE before any name is normalised. Empty for a character the search cannot narrow by.
QStringList storedFormsOf(QChar normalisedCharacter);

// The text with every full-width ASCII form (Ｐ, ０, －, …, U+FF01 to U+FF5E) as its ASCII character and the
// ideographic space as a space; everything else as it is.
QString halfWidthForm(const QString& text);

// A patient ID as the search compares it: without surrounding spaces, in half width, every letter in capitals, and
// the long-vowel mark and the other dashes an input method types for "-" as "-" (Mozc in hiragana mode turns
// "p-0001" into "ｐー０００１"). Stored IDs are plain ASCII, so an ID matches a typed text when the two forms are
// equal.
QString normalisedPatientId(const QString& typed);

}  // namespace kesola
