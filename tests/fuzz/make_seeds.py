#!/usr/bin/env python3
"""Writes the generated fuzz seeds: a few inputs that reach the readers'
nesting and size limits (most of them 50-150 KB), which mutating the small
sample files rarely does.

    tests/fuzz/make_seeds.py OUT     writes OUT/TARGET/gen_*
"""
import os
import sys

# Comfortably past the effect front end's depth limit (200) and glslang's
# measured breaking points, and one case just under the limit that compiles.
DEEP = 20000
NEAR_LIMIT = 150

SHADER_HEAD = """float4x4 WorldViewProj : WORLDVIEWPROJECTION;
float Scale = 1;
"""
SHADER_TAIL = """
technique standart
{
    pass P0
    {
        VertexShader = compile vs_2_0 Main_VS();
        PixelShader = compile ps_2_0 Main_PS();
    }
}
"""


def effect_with_ps_body(expression, extra=""):
    return (SHADER_HEAD + extra +
            "float4 Main_VS(float4 pos : POSITION) : POSITION { return mul(pos, WorldViewProj); }\n"
            "float4 Main_PS() : COLOR { float x = Scale; return float4(" + expression + ", 0, 0, 1); }\n"
            + SHADER_TAIL)


def effects():
    out = {}
    # The #if expression evaluator: chains of '!' and of parentheses.
    out["gen_if_not.fx"] = "#if " + "!" * DEEP * 4 + "0\n#endif\n" + effect_with_ps_body("x")
    out["gen_if_parens.fx"] = "#if " + "(" * DEEP * 2 + "1" + ")" * DEEP * 2 + "\n#endif\n"
    # Macros that expand through each other, deeper than the limit.
    lines = ["#define M0 Scale"]
    lines += ["#define M%d (M%d)" % (i, i - 1) for i in range(1, 4000)]
    out["gen_macro_chain.fx"] = "\n".join(lines) + "\n" + effect_with_ps_body("M3999")
    # The parser: casts, unary operators and parentheses in shader code.
    out["gen_casts.fx"] = effect_with_ps_body("(float)" * (DEEP // 2) + "x")
    out["gen_unary.fx"] = effect_with_ps_body("-+" * (DEEP * 2) + "x")
    out["gen_parens.fx"] = effect_with_ps_body("(" * (DEEP * 2) + "x" + ")" * (DEEP * 2))
    # Just under the limit: reaches glslang and the driver, and compiles.
    out["gen_parens_near_limit.fx"] = effect_with_ps_body("(" * NEAR_LIMIT + "x" + ")" * NEAR_LIMIT)
    # Struct types inside struct types, each copied by the shader.
    structs = ["struct S0 { float4 v; };"]
    structs += ["struct S%d { S%d a; S%d b; };" % (i, i - 1, i - 1) for i in range(1, 40)]
    body = "S39 s = (S39)0; x += s.a.a.a.v.x"
    out["gen_structs.fx"] = (SHADER_HEAD + "\n".join(structs) + "\n" +
                             "float4 Main_VS(float4 pos : POSITION) : POSITION { return mul(pos, WorldViewProj); }\n"
                             "float4 Main_PS() : COLOR { float x = Scale; " + body + "; return float4(x, 0, 0, 1); }\n"
                             + SHADER_TAIL)
    # An effect that includes itself.
    out["gen_self_include.fx"] = '#include "fuzz.fx"\n' + effect_with_ps_body("x")
    return out


def level():
    parts = ["[CameraPosX]=0\n[CameraPosY]=70\n[CameraPosZ]=-190\n[CameraLookZ]=1\n"]
    for i in range(1500):
        parts.append("[object]\n[name]=models\\m%d.x\n[x]=%d\n[y]=-%d.5e3\n[alpha]=%d\n"
                     "[shader]=list.txt\n[/object]\n" % (i, i, i, i % 101))
        if i % 100 == 0:
            parts.append("[object]\n[type]=point_light\n[light_Range]=1e39\n"
                         "[light_Diffuse_r]=0.5\n[light_renderable]=99999999999\n[/object]\n")
    parts.append("[" + "x" * 5000 + "]=" + "9" * 5000 + "\n")
    parts.append("[object]\n[name]=unterminated\n")
    return "".join(parts)


def effect_list():
    parts = ["Effects of a long list.\n"]
    for i in range(1500):
        parts.append("[Effect]\n    [path]=fx\\e%d.fx\n    [type]=Microsoft\n"
                     "    [technique]=t%d\n[/Effect]\n" % (i, i))
    parts.append("[Effect]\n[path]=" + "p" * 3000 + "\n")
    return "".join(parts)


def settings():
    parts = ["; long settings\n"]
    for i in range(1200):
        parts.append("[rezolution]=%dx%d\n[CHspeed]=0.%d\n[AAliasing]=%s\n"
                     % (i, i, i, "true" if i % 2 else "TRUE"))
    parts.append("[" + "r" * 4000 + "\n" + "\t " * 2000 + "]\n")
    return "".join(parts)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    seeds = {"effect": effects(), "level": {"gen_long_level.txt": level()},
             "effect_list": {"gen_long_list.txt": effect_list()},
             "settings": {"gen_long_ini.txt": settings()}}
    seeds["effect_create"] = seeds["effect"]
    for target, files in seeds.items():
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for name, text in files.items():
            with open(os.path.join(out, target, name), "w", newline="") as f:
                f.write(text)


if __name__ == "__main__":
    main()
