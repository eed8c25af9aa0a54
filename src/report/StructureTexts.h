// The UI texts the structure documents (the extended report, Markdown and HTML) label their
// parts with, so that the three name each part alike.
#pragma once

namespace StructureTexts {

constexpr int kTextProvider = 155;
constexpr int kTextServer = 156;
constexpr int kTextDatabase = 157;
constexpr int kTextPrimaryKey = 330;
constexpr int kTextUniqueIndex = 332;
constexpr int kTextReferencedBy = 334;
constexpr int kTextDefault = 335;
constexpr int kTextComputed = 337;
constexpr int kTextDescription = 338;
constexpr int kTextLinkedTo = 339;
constexpr int kTextOnUpdate = 340;
constexpr int kTextOnDelete = 341;
constexpr int kTextNotEnforced = 346;
constexpr int kTextColumn = 352;
constexpr int kTextType = 353;
constexpr int kTextLength = 354;
constexpr int kTextNullable = 356;
constexpr int kTextYes = 357;
constexpr int kTextNo = 358;
constexpr int kTextIndexes = 359;
constexpr int kTextForeignKeys = 360;
constexpr int kTextQueryType = 440;
constexpr int kTextParameter = 441;
constexpr int kTextReturns = 442;
constexpr int kTextRuleText = 445;
constexpr int kTextTrigger = 446;
constexpr int kTextDefinition = 447;
constexpr int kTextCaption = 448;
constexpr int kTextHidden = 454;
constexpr int kTextSequence = 455;
constexpr int kTextTarget = 456;

} // namespace StructureTexts
