// The pieces that the own photo manager's cells and the visitors' album
// cells share: the frame up to the picture's cell, the spacer and the
// caption table, the upload-date row and the end of the cell. Each page
// writes its own picture, state and closing blanks between them.
#pragma once

#include "framework/html.h"

namespace zurvafun::members {

// From the line break to the picture table's row.
inline constexpr html::Fragment kCellOpening =
    "{{crlf}}"
    "                <TD align=left height=108>"
    "                  <TABLE cellSpacing=0 cellPadding=0 width=152 border=0>"
    "                    <TBODY>                    <TR>"
    "                      <TD vAlign=top align=middle width=152>"
    R"~(                        <TABLE cellSpacing=0 cellPadding=0 width="100%" border=0>)~"
    "                          <TBODY>                          <TR>"
    R"~(                            <TD align=middle background="" height=158>)~"
    "                              <TABLE height=158 cellSpacing=4 cellPadding=0 "
    "                              width=150 border=0>"
    "                                <TBODY>                                <TR>";

// After the picture's tables: the spacer row and the caption table's start.
inline constexpr html::Fragment kCellCaption =
    "                    <TR>                      <TD align=middle><IMG height=4 "
    R"~(                        src="user_photo.files/spacer.gif" width=100></TD></TR>)~"
    "                    <TR>                      <TD align=middle>"
    R"~(                        <TABLE cellSpacing=0 cellPadding=0 width="100%" border=0>)~"
    "                          <TBODY>                          <TR>";

// The rule and the upload date's label.
inline constexpr html::Fragment kCellDate =
    "                          <TR>"
    "                            <TD vAlign=bottom bgColor=#efefef height=1></TD></TR>"
    "                          <TR>"
    "                            <TD height=22>上传时间：{{date}}";

// The closing rule and the end of the cell's tables.
inline constexpr html::Fragment kCellEnd =
    "                          <TR>"
    "                            <TD vAlign=bottom bgColor=#efefef height=1></TD></TR>"
    "                          <TR>                            <TD vAlign=bottom "
    "                    height=8></TD></TR></TBODY></TABLE></TD></TR></TBODY></TABLE>";

}  // namespace zurvafun::members
