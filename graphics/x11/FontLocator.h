#pragma once

#include <string>

// Where the editor's text faces (Liberation Sans, regular, bold, italic and
// bold italic) are on this machine: the file fontconfig matches for the
// family, or else the file of that name in the module's folder, where the
// Linux package puts the regular and bold faces. Answers are looked up once
// per style and kept.
class FontLocator
{
public:
    // The face file for the style bits (ITextStyle::Bold, ::Italic); a missing
    // bold or italic face falls back to the regular one. Empty when none is
    // found anywhere.
    static std::string FaceFile(int styleBits);
    // The file name of the face for the style bits, as the family ships it.
    static const char* FaceFileName(int styleBits);
    // The file fontconfig matches for the family and style; empty when
    // fontconfig offers only another family.
    static std::string FontconfigFile(int styleBits);
};
