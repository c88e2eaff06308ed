#pragma once

#include <QByteArrayView>
#include <QString>

namespace ql {

// The short text the URL dialog shows for a web page: the page's description where it declares
// one, else its title; empty when neither is found.
//
// The page is searched as the bytes it came in. Each of the four markers
//   <meta name="DESCRIPTION"   content="   <title>   </title>
// is found at its first occurrence, with the letters A to Z matched without regard to case and
// every other byte matched exactly; the text is cut from the page with the case it has there.
//
// - Description: the content attribute must lie within the 512 bytes that begin with the meta tag,
//   and the value's closing double quote within the 512 bytes that begin with the value. Such a
//   value is the text as it stands, untrimmed and possibly empty; the title is then not looked at.
// - Title: the text between the first "<title>" and the first "</title>" of the whole page, without
//   the bytes 0 to 32 at either end; empty when that end tag does not come after the start tag. A
//   title tag with attributes is not a title start.
//
// For example:
//   <META NAME="Description" CONTENT="Plans and lists"><title>Home</title>   ->  "Plans and lists"
//   <meta name="description" content=""><title>Home</title>                  ->  ""
//   <TITLE>\r\n  Home page \r\n</TITLE>                                       ->  "Home page"
//   <title lang="en">Home</title>                                              ->  ""
//
// Character references stay as they are and line breaks inside the title stay. The bytes cut out
// are read as text in the system encoding (UTF-8, else Windows-1252); a zero character ends the
// text, as it ends the text of an edit box.
QString ExtractPageText(QByteArrayView page);

} // namespace ql
