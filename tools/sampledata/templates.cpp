#include "templates.h"

#include <memory>

#include "players/template.h"
#include "sample_data.h"

namespace sampledata {

// Every level builds only on what the levels before it have put up, starting from the town hall
// (6) a sample player begins with: food, hands and wood, then the barracks, then its soldiers and
// power. The mines stand in MAY lists: their special sites are few and shared by every player, so
// a level never waits for them.
const std::string& SampleTemplateText()
{
    static const std::string text = R"({Build template of the computer players}
8
{1: food and hands} Level 1 MUST
  CREATE_UNIT 0 4          {workers}
  CREATE_BUILDING 15 1     {farm}
  CREATE_BUILDING 9 1      {dwelling}
MAY
  CREATE_UNIT 0 3
  CREATE_BUILDING 12 1     {lumber mill}
NEW_LEVEL
{2: wood, power, learning and the barracks} Level 2 MUST
  CREATE_BUILDING 12 1     {lumber mill}
  CREATE_BUILDING 0 1      {power plant}
  CREATE_BUILDING 2 1      {science academy}
  CREATE_BUILDING 3 1      {barracks}
  CREATE_BUILDING 15 2
MAY
  CREATE_BUILDING 10 1     {iron mine}
  CREATE_BUILDING 11 1     {gold mine}
  CREATE_BUILDING 1 1      {pillbox}
  CREATE_BUILDING 9 2
NEW_LEVEL
{3: the first soldiers} Level 3 MUST
  CREATE_UNIT 2 6          {riflemen}
  CREATE_UNIT 0 10
  CREATE_UPGRADE 0 3       {gathering}
MAY
  CREATE_UNIT 6 2          {machine gunners}
  CREATE_BUILDING 17 1     {field hospital}
NEW_LEVEL
{4: trade} Level 4 MUST
  CREATE_BUILDING 8 1      {market}
MAY
  CREATE_UNIT 0 12
  CREATE_BUILDING 9 3
  CREATE_UPGRADE 0 6       {building armour}
NEW_LEVEL
{5: guns} Level 5 MUST
  CREATE_BUILDING 4 1      {artillery works}
  CREATE_UNIT 5 2          {field guns}
  CREATE_BUILDING 5 1      {war academy}
  CREATE_UNIT 3 4          {grenadiers}
MAY
  CREATE_UNIT 8 2          {mortars}
  CREATE_BUILDING 21 2     {watchtowers}
  CREATE_BUILDING 7 1      {bunker}
NEW_LEVEL
{6: cavalry and care} Level 6 MUST
  CREATE_BUILDING 16 1     {stables}
  CREATE_UNIT 4 4          {cavalry}
  CREATE_BUILDING 17 1     {field hospital}
MAY
  CREATE_UNIT 16 2         {dragoons}
  CREATE_UPGRADE 0 4
NEW_LEVEL
{7: armour} Level 7 MUST
  CREATE_BUILDING 19 1     {tank factory}
  CREATE_BUILDING 13 1     {oil well}
  CREATE_UNIT 14 3         {tanks}
MAY
  CREATE_UNIT 15 2         {armoured cars}
  CREATE_BUILDING 14 1     {mint}
NEW_LEVEL
{8: the full army} Level 8 MUST
  CREATE_BUILDING 23 1     {ordnance depot}
  CREATE_UNIT 25 4         {guardsmen}
  CREATE_UNIT 2 12
  CREATE_BUILDING 20 1     {air hangar}
MAY
  CREATE_UNIT 11 2         {fighters}
  CREATE_UNIT 21 2         {heavy guns}
NEW_LEVEL
)";
    return text;
}

bool WriteTemplates(const std::string& outDir)
{
    auto t = std::make_unique<TTemplate>();
    const std::string& text = SampleTemplateText();
    if (!t->LoadTemplateFromText(text.data(), text.size()))
        return false;
    const auto bytes = t->ToBinary();
    return WriteFileBytes(outDir, "Data/Template4.tpl", bytes.data(), bytes.size());
}

} // namespace sampledata
