// The level file and the effect list files: grammar, keys, blocks, defaults.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/level_reader.h"
#include "scene_support.h"
#include "support/temp_dir.h"

namespace {

IDirect3DDevice9* No_Device = nullptr;

class Level : public ::testing::Test {
protected:
    Scene_Fixture_State state;
    Temp_Dir dir;
    D3DXVECTOR3 pos{5.0f, 6.0f, 25.0f};
    D3DXVECTOR3 look{-0.1f, -0.1f, 0.5f};

    int Load(const std::string& text) {
        dir.Write("levels/map_new.txt", text);
        return Load_Level(&No_Device, "levels\\map_new.txt", &pos, &look, &Main_Object_List,
                          &Main_Light_List);
    }
};

TEST_F(Level, MissingFileFailsAndCreatesNoLists) {
    EXPECT_LT(Load_Level(&No_Device, "levels\\none.txt", &pos, &look, &Main_Object_List,
                         &Main_Light_List),
              0);
    EXPECT_EQ(Main_Object_List, nullptr);
    EXPECT_EQ(Main_Light_List, nullptr);
    EXPECT_EQ(pos.z, 25.0f);
}

TEST_F(Level, BigLevelsKeepEveryKeyInFileOrder) {
    // 60000 objects with a light after every thousandth: keys count up in
    // file order in each list and every record holds its own values.
    const int count = 60000;
    std::string text;
    for (int i = 1; i <= count; ++i) {
        const std::string number = std::to_string(i);
        text.append("[object]\n[name]=m").append(number).append(".x\n[x]=").append(number);
        text.append("\n[/object]\n");
        if (i % 1000 == 0)
            text.append("[object]\n[type]=point_light\n[x]=")
                .append(number)
                .append("\n[/object]\n");
    }
    ASSERT_EQ(Load(text), 0);
    ASSERT_EQ(Main_Object_Count, count);
    ASSERT_EQ(Main_Light_Count, count / 1000);
    int expected = 0;
    const Main_Object_Node* previous = nullptr;
    for (const Main_Object_Node* node = Main_Object_List; node; node = node->Next) {
        ASSERT_EQ(node->Key, expected);
        ASSERT_EQ(node->Prev, previous);
        if (expected > 0) {
            std::string name = "m";
            name.append(std::to_string(expected)).append(".x");
            ASSERT_EQ(node->Object->Name, name);
            ASSERT_EQ(node->Object->Position.x, static_cast<float>(expected));
        }
        previous = node;
        ++expected;
    }
    EXPECT_EQ(expected, count + 1);
    const std::vector<int> lights = Light_Keys();
    ASSERT_EQ(lights.size(), static_cast<std::size_t>(count / 1000 + 1));
    for (std::size_t i = 0; i < lights.size(); ++i) EXPECT_EQ(lights[i], static_cast<int>(i));
    EXPECT_EQ(Light_At(60)->Light.Position.x, 60000.0f);
}

TEST_F(Level, ObjectsGetKeysInFileOrderWithTheirValues) {
    EXPECT_EQ(Load("[object]\n[name]=models\\a.x\n[x]=12.5\n[y]=-3\n[z]=1e2\n[/object]\n"
                   "[object]\n[name]=b.x\n[alpha]=150\n[/object]\n"
                   "[object]\n[/object]\n"),
              0);
    EXPECT_EQ(Main_Object_Count, 3);
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0, 1, 2, 3}));
    MAIN_CGObject* a = Object_At(1);
    EXPECT_STREQ(a->Name, "models\\a.x");
    EXPECT_EQ(a->Position.x, 12.5f);
    EXPECT_EQ(a->Position.y, -3.0f);
    EXPECT_EQ(a->Position.z, 100.0f);
    EXPECT_EQ(a->Alpha, 100);  // default
    EXPECT_EQ(Object_At(2)->Alpha, 150);
    EXPECT_STREQ(Object_At(3)->Name, "");  // no name line: an empty model path
    EXPECT_TRUE(state.Boxes().empty());
}

TEST_F(Level, BlanksVanishBeforeParsing) {
    Load(
        "[object]\n"
        "    [alpha] = 150\n"  // indented, blanks around the separator
        "[x] 12.5\n"           // a blank is no separator: '1' becomes it
        "[name]=my model.x\n"  // blanks inside a value go too
        "[/object]\n");
    MAIN_CGObject* o = Object_At(1);
    EXPECT_EQ(o->Alpha, 150);
    EXPECT_EQ(o->Position.x, 2.5f);
    EXPECT_STREQ(o->Name, "mymodel.x");
}

TEST_F(Level, NumbersReadTheirLongestPrefix) {
    Load(
        "[object]\n[x]=3.5abc\n[y]=abc\n[z]=-.5e1x\n[alpha]=42.9\n[/object]\n"
        "[object]\n[x]=0x10\n[y]=inf\n[z]=1e999\n[alpha]=99999999999999\n[/object]\n");
    MAIN_CGObject* o = Object_At(1);
    EXPECT_EQ(o->Position.x, 3.5f);
    EXPECT_EQ(o->Position.y, 0.0f);
    EXPECT_EQ(o->Position.z, -5.0f);
    EXPECT_EQ(o->Alpha, 42);
    MAIN_CGObject* p = Object_At(2);
    EXPECT_EQ(p->Position.x, 0.0f);  // hex is not a number here
    EXPECT_EQ(p->Position.y, 0.0f);
    EXPECT_TRUE(std::isfinite(p->Position.z));
    EXPECT_GT(p->Position.z, 1e38f);
    EXPECT_EQ(p->Alpha, 2147483647);
}

TEST_F(Level, LightsTakeTheirValuesAndDefaults) {
    Load(
        "[object]\n[type]=point_light\n[x]=10\n[y]=20\n[z]=30\n[light_Diffuse_r]=0.5\n"
        "[light_Diffuse_rgba]=9\n[light_renderable]=2\n[/object]\n"
        "[object]\n[type]=point_light\n[light_type]=SPOT\n[light_Direction_y]=-1\n"
        "[light_Ambient_g]=0.25\n[light_Range]=55\n[/object]\n"
        "[object]\n[type]=point_light\n[light_type]=point\n[/object]\n");
    ASSERT_EQ(Main_Light_Count, 3);
    const D3DLIGHT9& a = Light_At(1)->Light;
    EXPECT_EQ(a.Type, D3DLIGHT_POINT);
    EXPECT_EQ(a.Position.x, 10.0f);
    EXPECT_EQ(a.Position.z, 30.0f);
    EXPECT_EQ(a.Diffuse.r, 0.5f);
    EXPECT_EQ(a.Diffuse.g, 2.0f);
    EXPECT_EQ(a.Ambient.b, 2.0f);
    EXPECT_EQ(a.Range, 300.0f);
    EXPECT_EQ(a.Falloff, 10.0f);  // kept from the constructor
    EXPECT_EQ(a.Phi, 1.0f);
    EXPECT_FALSE(Light_At(1)->Renderable);
    const D3DLIGHT9& b = Light_At(2)->Light;
    EXPECT_EQ(b.Type, D3DLIGHT_SPOT);
    EXPECT_EQ(b.Direction.y, -1.0f);
    EXPECT_EQ(b.Ambient.g, 0.25f);
    EXPECT_EQ(b.Range, 55.0f);
    EXPECT_TRUE(Light_At(2)->Renderable);
    EXPECT_EQ(Light_At(3)->Light.Type, D3DLIGHT_SPOT);  // only "POINT" is a point light
    EXPECT_EQ(Main_Object_Count, 0);
}

TEST_F(Level, OtherTypesCreateNothingButKeysGoOn) {
    Load("[object]\n[type]=none\n[name]=x.x\n[/object]\n[object]\n[name]=y.x\n[/object]\n");
    EXPECT_EQ(Main_Object_Count, 1);
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0, 1}));
    EXPECT_STREQ(Object_At(1)->Name, "y.x");
}

TEST_F(Level, BlockStatesAndCameraKeys) {
    Load(
        "[name]=outside.x\n"
        "[CameraPosZ]=40\n"
        "[object]\n[name]=a.x\n[object]\n[alpha]=7\n[CameraLookY]=0.75\n[/object]\n"
        "[/object]\n"
        "[object]\n[name]=unclosed.x\n");
    EXPECT_EQ(Main_Object_Count, 1);
    EXPECT_STREQ(Object_At(1)->Name, "a.x");
    EXPECT_EQ(Object_At(1)->Alpha, 7);  // the second [object] did not reset the block
    EXPECT_EQ(pos.x, 5.0f);
    EXPECT_EQ(pos.z, 40.0f);
    EXPECT_EQ(look.x, -0.1f);
    EXPECT_EQ(look.y, 0.75f);
}

TEST_F(Level, KeysAreExactAndCaseSensitive) {
    Load("[object]\n[Name]=a.x\n[name ]=b.x\n[ALPHA]=5\n[/object]\n");
    EXPECT_STREQ(Object_At(1)->Name, "b.x");  // the blank inside the key vanished
    EXPECT_EQ(Object_At(1)->Alpha, 100);
}

TEST_F(Level, CrLfAndMissingLastNewlineReadTheSame) {
    Load("[object]\r\n[name]=a.x\r\n[/object]");
    EXPECT_EQ(Main_Object_Count, 1);
    EXPECT_STREQ(Object_At(1)->Name, "a.x");
}

TEST_F(Level, OverlongLinesAndValuesAreCutAtTheirWidths) {
    std::string long_name(300, 'n');
    Load("[object]\n[name]=" + long_name + "\n[alpha]=5\n[/object]\n");
    EXPECT_EQ(std::string(Object_At(1)->Name), std::string(Level_Field_Width, 'n'));
    EXPECT_EQ(Object_At(1)->Alpha, 5);  // the cut tail was not read as a line
}

TEST_F(Level, BracketWithoutCloseIsAKeyWithNoValue) {
    Load("[object\n[object]\n[name=x\n[/object]\n");
    EXPECT_EQ(Main_Object_Count, 1);
    EXPECT_STREQ(Object_At(1)->Name, "");
}

TEST_F(Level, NamedTextureNoneLoadsNothingAndShowsNothing) {
    Load("[object]\n[diffuse_texture]=none\n[/object]\n");
    EXPECT_EQ(Object_At(1)->Diffuse_Texture, nullptr);
    EXPECT_TRUE(state.Boxes().empty());
}

TEST_F(Level, EffectListEntriesCarryOverAndDefault) {
    dir.Write("fx/list.txt",
              "comment line\n"
              "[path]=outside.fx\n"
              "[Effect]\n[path]=fx\\a.fx\n[/Effect]\n"             // no technique: "standart"
              "[Effect]\n[technique]=glow\n[Effect]\n[/Effect]\n"  // path carried over
              "[Effect]\n[path]=fx\\c.fx\n[type]=Other\n[/Effect]\n"
              "[Effect]\n[path]=fx\\open.fx\n");
    Load("[object]\n[shader]=fx\\list.txt\n[/object]\n");
    MAIN_CGObject* o = Object_At(1);
    ASSERT_EQ(o->Effect_Count, 3);
    EXPECT_STREQ(o->Effect_Files[0], "fx\\a.fx");
    EXPECT_STREQ(o->Effect_Techniques[0], "standart");
    EXPECT_STREQ(o->Effect_Files[1], "fx\\a.fx");
    EXPECT_STREQ(o->Effect_Techniques[1], "glow");
    EXPECT_STREQ(o->Effect_Files[2], "fx\\c.fx");
    EXPECT_STREQ(o->Effect_Techniques[2], "glow");
    EXPECT_TRUE(state.Boxes().empty());
}

TEST_F(Level, ShortShaderValueReadsNoList) {
    Load("[object]\n[shader]=none\n[/object]\n[object]\n[shader]=abcd\n[/object]\n");
    EXPECT_EQ(Object_At(1)->Effect_Count, 0);
    EXPECT_TRUE(state.Boxes().empty());
}

TEST_F(Level, MissingEffectListShowsOneErrorBox) {
    Load("[object]\n[shader]=fx\\missing.txt\n[/object]\n[object]\n[name]=next.x\n[/object]\n");
    ASSERT_EQ(state.Boxes().size(), 1u);
    EXPECT_EQ(state.Boxes()[0].Caption, "ERROR");
    EXPECT_EQ(state.Boxes()[0].Text, "fx\\missing.txt");
    EXPECT_EQ(state.Boxes()[0].Type, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(Object_At(1)->Effect_Count, 0);
    EXPECT_EQ(Main_Object_Count, 2);
}

TEST_F(Level, EmptyEffectListGivesNoEffects) {
    dir.Write("fx/empty.txt", "; nothing here\n");
    Load("[object]\n[shader]=fx\\empty.txt\n[/object]\n");
    EXPECT_EQ(Object_At(1)->Effect_Count, 0);
    EXPECT_TRUE(state.Boxes().empty());
}

TEST_F(Level, MoreThanTwentyEffectsKeepsTwentyAndSaysSoOnce) {
    std::string list;
    for (int i = 0; i < 25; ++i)
        list += "[Effect]\n[path]=fx\\e" + std::to_string(i) + ".fx\n[/Effect]\n";
    dir.Write("fx/many.txt", list);
    Load("[object]\n[shader]=fx\\many.txt\n[/object]\n");
    EXPECT_EQ(Object_At(1)->Effect_Count, 20);
    EXPECT_STREQ(Object_At(1)->Effect_Files[19], "fx\\e19.fx");
    ASSERT_EQ(state.Boxes().size(), 1u);
    EXPECT_EQ(state.Boxes()[0].Caption, "ERROR");
}

TEST_F(Level, CaseInsensitivePathsFindTheFiles) {
    dir.Write("FX/List.TXT", "[Effect]\n[path]=a.fx\n[/Effect]\n");
    Load("[object]\n[shader]=fx\\list.txt\n[/object]\n");
    EXPECT_EQ(Object_At(1)->Effect_Count, 1);
}

}  // namespace
