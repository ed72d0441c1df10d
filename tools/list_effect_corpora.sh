#!/usr/bin/env bash
# Lists public Direct3D 9 effect files we check the effect front end against
# by hand: source, repository, commit and path, one tab-separated line each.
# The files stay where they are; nothing is fetched or kept in this
# repository. tools/effect_corpus_rate.sh counts how many of them compile
# once they are fetched into CORPUS/SOURCE/... (the path below the sample's
# own folder kept, so that includes resolve).
#
#   tools/list_effect_corpora.sh            all entries
#   tools/list_effect_corpora.sh --urls     raw-file addresses instead, to
#                                           fetch by hand into a scratch folder
set -euo pipefail

urls=false
[ "${1:-}" = "--urls" ] && urls=true

emit() {  # source repository commit path
  if $urls; then
    printf 'https://raw.githubusercontent.com/%s/%s/%s\n' "$2" "$3" "$4"
  else
    printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4"
  fi
}

# sdk: the Direct3D 9 samples of the legacy DirectX SDK (MIT licence), under
# Direct3D/ (the Direct3D10/ effects are fx_4_0 and out of scope), with the
# files they include.
REPO=walbourn/directx-sdk-legacy-samples
COMMIT=02b679d87d5e108bf239f0ec7c720aad2087cc01
PATHS=(
  AntiAlias/AntiAlias.fx ConfigSystem/main.fx CustomUI/CustomUI.fx DepthOfField/DepthOfField.fx
  EffectParam/EffectParam.fx EffectParam/reflect.fx EffectParam/specular.fx HDRCubeMap/HDRCubeMap.fx
  HDRFormats/HDRFormats.fx HDRLighting/HDRLighting.fx Instancing/Instancing.fx
  IrradianceVolume/LDPRT.fx IrradianceVolume/NdotL.fx IrradianceVolume/PRT.fx
  IrradianceVolume/SHIrradianceEnvMap.fx IrradianceVolume/Wireframe.fx
  LocalDeformablePRT/LocalDeformablePRT.fx LocalDeformablePRT/skybox.fx MeshFromOBJ/MeshFromObj.fx
  MultiAnimation/MultiAnimation.fx MultiAnimation/skin.vsh OptimizedMesh/OptimizedMesh.fx
  PRTDemo/LDPRT.fx PRTDemo/LightProbe.fx PRTDemo/SHFuncView.fx PRTDemo/prt.fx Pick/Pick.fx
  PixelMotionBlur/PixelMotionBlur.fx PixelMotionBlur/PixelMotionBlurNoMRT.fx
  PostProcess/PP_ColorBloomH.fx PostProcess/PP_ColorBloomV.fx PostProcess/PP_ColorBrightPass.fx
  PostProcess/PP_ColorCombine4.fx PostProcess/PP_ColorDownFilter4.fx PostProcess/PP_ColorEdgeDetect.fx
  PostProcess/PP_ColorGBlurH.fx PostProcess/PP_ColorGBlurV.fx PostProcess/PP_ColorInverse.fx
  PostProcess/PP_ColorMonochrome.fx PostProcess/PP_ColorToneMap.fx PostProcess/PP_ColorUpFilter4.fx
  PostProcess/PP_DofCombine.fx PostProcess/PP_NormalEdgeDetect.fx PostProcess/PP_NormalMap.fx
  PostProcess/PP_PositionMap.fx PostProcess/Scene.fx PostProcess/pp_colorcombine.fx
  ShadowMap/shadowmap.fx SkinnedMesh/skinnedmesh.fx StateManager/AlphaTest.fx
  StateManager/reflective01.fx StateManager/skybox01.fx StateManager/snow.fx StateManager/textbump.fx
  Tutorials/PIXGameDebugging/PIXGameDebugging.fx
)
for p in "${PATHS[@]}"; do emit sdk "$REPO" "$COMMIT" "Direct3D/$p"; done
# One file of the same repository was last seen at another commit.
emit sdk "$REPO" e72af93b5c64e59e39e76030dcbbec0cf54acf3b Direct3D/CompiledEffect/CompiledEffect.fx

# omega: OmegaEngine's post-processing effects (MIT licence), written for FX
# Composer in the NVIDIA shader library's style: #include <include\\Quad.fxh>.
REPO=omegaengine/omegaengine
emit omega "$REPO" 4ff2fdc2e5450bd1a86f6ab04724efe8a5cba6b5 shaders/include/Quad.fxh
emit omega "$REPO" 046134e2ef6ef1a3c38b289dcbeece7696c6e38e shaders/Post_Bleach.fx
emit omega "$REPO" 046134e2ef6ef1a3c38b289dcbeece7696c6e38e shaders/Post_Sepia.fx
emit omega "$REPO" 046134e2ef6ef1a3c38b289dcbeece7696c6e38e shaders/Post_Blur.fx

# mge: post-processing shaders of a Morrowind graphics mod (MGE XE).
REPO=Hrnchamd/MGE-XE
emit mge "$REPO" 1da214a51c631ff72b82e7aca8b8cd1e41e34826 "assets/shaders/XEshaders/Underwater Effects.fx"
emit mge "$REPO" 1da214a51c631ff72b82e7aca8b8cd1e41e34826 "assets/shaders/XEshaders/SSAO Fast.fx"
emit mge "$REPO" 1da214a51c631ff72b82e7aca8b8cd1e41e34826 "assets/shaders/XEshaders/Eye Adaptation (HDR).fx"
emit mge "$REPO" 1da214a51c631ff72b82e7aca8b8cd1e41e34826 "assets/shaders/XEshaders/Underwater Interior Effects.fx"

# xna: XNA Game Studio content effects (the XNA effect compiler is the
# Direct3D 9 one).
REPO=babaq/StiLib
emit xna "$REPO" 648d2d2799466a39ef05c7cfe1ab8007b8e5dbd3 StiLib/StiLib/Content/Grating.fx

# raymmd: effects of a MikuMikuDance rendering pack (MIT licence), Direct3D 9
# effects with MMD's own semantics and annotations.
REPO=ray-cast/ray-mmd
emit raymmd "$REPO" 06562fb133d059219ce02f713201ffb48c642bce Extension/FilmGrain/FilmGrain.fx

# rogue: the effects of a released XNA/FNA game (Rogue Legacy), at one commit.
REPO=flibitijibibo/RogueLegacy1
COMMIT=01f2eb5307602820fa4ae365cf6ccd118d0221bc
for p in BrightPass GaussianBlur HSVShader ShadowFX resolveShadowsEffect reductionEffect \
         CrepuscularShader Shockwave LightRays NormalMapFX ParallaxFX ColourSwapShader RippleFX \
         AmbientNormalMapFX StrokeShader BlurShader MaskFX_Shader2 LightSourceMask 2xMultiBlend \
         AlphaMaskShader GaussianBlurMask SceneBlend TintRemovalShader BWMaskShader InvertShader \
         ShockwaveTest OutlineShader; do
  emit rogue "$REPO" "$COMMIT" "RogueCastle/Shaders/$p.fx"
done
emit rogue "$REPO" "$COMMIT" RogueCastle/Shaders/PPVertexShader.fxh
# ---------------------------------------------------------------------------
# The second corpus: effects we did not tune against, gathered to measure the
# language rather than the files. Each source notes the folder its files are
# kept below in CORPUS/<source>/, so that their includes resolve.

# nvshaderlib: the NVIDIA Shader Library (FX Composer 2 era) as a test suite of
# an HLSL tools project (Apache-2.0; the effects carry NVIDIA's own notice).
# Each effect has a DirectX 9 technique beside its technique10 twin; several
# include <include\\*.fxh>. Kept below TestSuite/Shaders/.
REPO=tgjones/HlslTools
COMMIT=3cb3e76a8a5a35daf6f8e6fa5c32da7facf7175a
D=src/ShaderTools.CodeAnalysis.Hlsl.Tests/TestSuite/Shaders/Nvidia
for p in AnisotropicHilight.fx BrdfFromTextures.fx BumpReflect.fx BumpyGlossy.fx \
         BumpyGlossyMetal.fx DebugSpaces.fx DebugTexCoords.fx DepthColor.fx DrawSharedShadow.fx \
         EdgeFuzz.fx EnvironmentPassThru.fx FlatTexture.fx Graph1DTexture.fx Grisaille.fx \
         MrWiggle.fx NebulaLight.fx Nightfall.fx Ocean.fx TexturePositioning.fx ThinFilm.fx \
         Toksvig_NormalMaps.fx balloon.fx blinn.fx blinn_bump_reflect.fx brix.fx cage.fx \
         carpaint_texColor.fx checker3d.fx checker3d_math.fx clock.fx ddGodRays.fx durer.fx \
         glossyWetHilight.fx gooch.fx gooch_bump_reflect.fx gooch_slicer.fx goochy.fx lambSkin.fx \
         lambert.fx metal.fx metalD.fx metalP.fx paint_brush.fx phong.fx phong_bump_reflect.fx \
         plastic.fx plasticD.fx plasticP.fx post_RGB_from_CMY.fx post_RGB_from_CMYK.fx \
         post_RGB_from_HSV.fx post_RGB_from_YUV.fx post_RGB_to_CMY.fx post_RGB_to_CMYK.fx \
         post_RGB_to_HSV.fx post_RGB_to_YUV.fx post_badPrinting.fx post_bleach_bypass.fx \
         post_blendOverlay.fx post_bloom.fx post_cameraShake.fx post_color_clipping.fx \
         post_color_curve.fx post_color_desaturate.fx post_color_gradient.fx post_color_keying.fx \
         post_color_matrix_effects.fx post_color_mixer.fx post_color_mixer_monochrome.fx \
         post_color_spin.fx post_complements.fx post_corona.fx post_deepMask.fx post_distort.fx \
         post_dropShadow.fx post_edgeDetect.fx post_edgeDetect_3color.fx post_edgeDetect_tuned.fx \
         post_frost.fx post_frost_fast.fx post_glow.fx post_glowBalloon.fx post_glow_fixedSize.fx \
         post_glow_inset.fx post_glow_screenSize.fx post_glowtrail.fx post_godrays.fx \
         post_halftone_dots.fx post_halftone_grainy.fx post_halo.fx post_kuwahara.fx \
         post_negOffset.fx post_negative.fx post_objsAsDisplacements.fx post_posterize.fx \
         post_pulsing.fx post_radialBlur.fx post_scratched_film.fx post_sepia.fx \
         post_shadow_overlay.fx post_spotlight.fx post_starFilter.fx post_tiles.fx \
         post_titleOverlay.fx post_toonShadow.fx post_unsharpMask.fx pre_color.fx pre_cubeBg.fx \
         pre_gradient.fx pre_gradient_hsv.fx pre_texture.fx pulse23.fx reflections.fx \
         relief_mapping.fx ribbonDistort.fx scene_Mandelbrot.fx scene_deferred.fx \
         scene_deferred_no_mrt.fx scene_displaceMap.fx scene_lineDraw.fx \
         scene_objectsAsDisplacements.fx scene_seeTextureBias.fx scene_tonemap.fx \
         scene_toonEdges.fx scene_uv_diffusion.fx scene_uvds_skin.fx shadowSpot.fx shadow_PCSS.fx \
         subcutaneous.fx uvDetective.fx vbomb.fx velvety.fx wood.fx; do
  emit nvshaderlib "$REPO" "$COMMIT" "$D/$p"
done
D=src/ShaderTools.CodeAnalysis.Hlsl.Tests/TestSuite/Shaders/Nvidia/include
for p in Quad.fxh ThinFilmTex.fxh blur59.fxh color_spaces.fxh debug_tools.fxh noise_2D.fxh \
         noise_3d.fxh nvInverse.fxh nvMatrix.fxh shadowMap.fxh spot_tex.fxh stripe_tex.fxh \
         vertex_noise.fxh vnoise-table.fxh; do
  emit nvshaderlib "$REPO" "$COMMIT" "$D/$p"
done

# nebula2: the Nebula Device 2 engine's shaders (Tcl/Tk-style licence): HLSL
# for shader model 2 and fixed-function effects for DX7-class cards. Kept
# below nebula2/. The engine's include handler reads "shaders:../lib/x.fx"
# from data/shaders/lib/; a link named 'shaders:..' in every shader folder,
# pointing at data/shaders/, stands in for it.
REPO=Teivaz/nebula2
COMMIT=7485dd43209183c9b10fad026049498fe770549a
D=nebula2/data/shaders/2.0
for p in asim.fx cegui.fx gui.fx hdr.fx occlusionquery.fx ocean.fx passes.fx phases.fx shaders.fx \
         shadow.fx shadow_copy.fx shape.fx shared.fx sky.fx stencil_plane.fx treeshader.fx \
         underwaterground.fx; do
  emit nebula2 "$REPO" "$COMMIT" "$D/$p"
done
D=nebula2/data/shaders/fixed
for p in asim.fx cegui.fx gui.fx passes.fx phases.fx shaders.fx shadow.fx shape.fx shared.fx \
         stencil_plane.fx underwaterground.fx water.fx; do
  emit nebula2 "$REPO" "$COMMIT" "$D/$p"
done
D=nebula2/data/shaders/lib
for p in lib.fx randtable.fx sphericallighting.fx; do
  emit nebula2 "$REPO" "$COMMIT" "$D/$p"
done

# nebula3: the Nebula Device 3 engine's shader model 3 effects (same licence).
# Kept below work/shaders/. They include "common.fxh" and the like through the
# build's include path (sm3/lib and lib); copies of those .fxh files beside
# the effects in sm3/ stand in for it.
REPO=xoyojank/nebula3
COMMIT=01dc7a1444dc2e408c38737eab36de9d6a2c19bb
D=work/shaders/sm3
for p in b_additive.fx b_alpha.fx b_alphatest.fx b_depth.fx b_depth_alphatest.fx b_empty.fx \
         b_grass.fx b_shape.fx b_solid.fx b_varianceshadowmap.fx environment.fx grass.fx gui.fx \
         lightmapped.fx lightsources.fx multilayer.fx p_color.fx p_depth.fx \
         p_exponentialshadowmap.fx p_grass.fx p_prelight.fx p_varianceshadowmap.fx particle.fx \
         pe_bloomhori.fx pe_bloomvert.fx pe_brightpassfilter.fx pe_compose.fx pe_copy.fx \
         pe_downsample2x2.fx pe_esm_hori3tapboxfilter.fx pe_esm_vert3tapboxfilter.fx \
         pe_gaussblur5x5.fx pe_gaussianblur.fx pe_ssao.fx shape.fx shared.fx skybox.fx \
         skybox_cube.fx static.fx unlit.fx uvanimated.fx volumefog.fx; do
  emit nebula3 "$REPO" "$COMMIT" "$D/$p"
done
D=work/shaders/sm3/lib
for p in common.fxh defaultsampler.fxh deferred_shared.fxh depthfuncs_atest.fxh \
         grassrendererfuncs.fxh lighting_shared.fxh ntapboxfilter.fxh particles.fxh \
         posteffectsampler.fxh shadowmapping.fxh shared.fxh skinning.fxh; do
  emit nebula3 "$REPO" "$COMMIT" "$D/$p"
done

# zombie: a Nebula 2 based engine's shaders (Conjurer Services; no licence at
# the repository root): shader model 2 effects, fixed-function fallbacks and
# asm demo effects. Kept below zombie/, with the same 'shaders:..' links (in
# data/demos/shaders too, leading to data/shaders/).
REPO=xuebai5/TheZombieEngine
COMMIT=8e8c3e6225c2ed93e07287356def9fbdeacf3d6a
D=zombie/data/demos/shaders
for p in _template.fx _template_asm.fx ambient.fx ambient_cube.fx anisotropic.fx billboard.fx \
         color.fx default.fx diffuse.fx fur.fx marble.fx metal_asm.fx metal_cheapshiny.fx \
         metal_hlsl.fx npr_metallic.fx phong.fx phong_bump_reflect.fx plastic.fx satin.fx wood.fx; do
  emit zombie "$REPO" "$COMMIT" "$D/$p"
done
D=zombie/data/shaders/2.0
for p in Inst_colr_pntl.fx Inst_dept.fx asim.fx axis.fx color.fx default.fx \
         default_alph_fresnel-FLAT_p.fx default_alph_fresnel-PIXEL_p.fx \
         default_alph_fresnel-PRO_p.fx default_alph_ocean.fx default_color_sky.fx default_colr.fx \
         default_colr_clipmap.fx default_colr_lmap.fx default_colr_lmap_pntl.fx \
         default_colr_pntl.fx default_colr_pntl_FLAT.fx default_colr_pntl_PIXEL.fx \
         default_colr_pntl_PRO.fx default_colr_pntl_grass_PRO.fx default_colr_pntl_mp.fx \
         default_colr_pntl_mp_lib.fx default_colr_pntl_pntl.fx default_colr_pntl_pntl_mp.fx \
         default_colr_pntl_pntl_pntl_mp.fx default_colr_pntl_pntl_pntl_ps.fx \
         default_colr_pntl_pntl_ps.fx default_colr_pntl_ps.fx default_colr_smap.fx \
         default_colr_spot.fx default_dept.fx default_dept_inst.fx default_dept_sky.fx \
         default_depth_grass_PRO.fx default_emis.fx default_emis_pntl.fx default_inst.fx \
         default_inst_clipmap.fx default_inst_impostor.fx default_sdep.fx default_sdep_clipmap.fx \
         default_shaq.fx default_shdv.fx default_terrainhole.fx defaulttool.fx error.fx \
         filter_overlay.fx filter_sepia.fx fog_back.fx fog_blend.fx fog_front.fx fog_layered.fx \
         fog_volume.fx fx_flash.fx gmge_dett.fx gmmt_dett.fx gmmt_dett_edit.fx gmmt_dett_lnrf.fx \
         gmmt_dett_lnrf_pntl.fx gmmt_dett_pntl.fx gmmt_dett_pntl_smap.fx gmmt_gen_glot.fx \
         gmmt_glot.fx gmmt_glot_edit.fx gmmt_glot_lnrf.fx gmmt_glot_lnrf_pntl.fx gmmt_glot_pntl.fx \
         gmmt_glot_pntl_smap.fx gmmt_lmap.fx gmmt_sdep.fx gui.fx hdr.fx lensflare.fx line.fx \
         line_grid.fx line_navmesh.fx line_no_z.fx line_normals.fx line_solid.fx materialerror.fx \
         occlusionquery.fx particle.fx particle2.fx particle_zombie.fx pass_fillmode.fx passes.fx \
         phases.fx rect2d.fx sfx_alph_billboard.fx sfx_alph_quad.fx sfx_alph_seafoam.fx \
         sfx_edit_billboard.fx sfx_lase_dotlaserdot.fx sfx_lase_dotlasershaft.fx shaders.fx \
         shadow.fx shadow_copy.fx shape.fx shape_map.fx shape_no_cull.fx shape_overlay.fx \
         shape_perception.fx shape_spatial.fx shared.fx sky.fx stencil_plane.fx target2d.fx \
         target2d_alph.fx terrpol.fx underwaterground.fx wireframe.fx zombie_cubeskybox.fx \
         zombie_hdr.fx zombie_ocean.fx zombie_passes.fx zombie_phases.fx zombie_sequences.fx \
         zombie_shadowvolumes.fx zombie_terrain.fx; do
  emit zombie "$REPO" "$COMMIT" "$D/$p"
done
D=zombie/data/shaders/2.0/zombie
for p in alphatest.fx bump.fx color.fx default.fx depth.fx instanced.fx phong.fx shadowvolumes.fx; do
  emit zombie "$REPO" "$COMMIT" "$D/$p"
done
D=zombie/data/shaders/lib
for p in bump1sampler.fx bump2sampler.fx bumpsampler.fx clipsampler.fx controlsampler.fx \
         diff0sampler.fx diff1sampler.fx diff2sampler.fx diffSecSampler.fx diffsampler.fx \
         emissivesampler.fx env2dsampler.fx environmentmask.fx environmentsampler.fx envsampler.fx \
         fog.fx gmmt.fx gmmt_dett_sampler.fx gmmt_edit_sampler.fx gmmt_glot_sampler.fx \
         levelsampler.fx lib.fx libzombie.fx lightmapsampler.fx lightmapsampler_clamp.fx \
         lightsampler.fx noisesampler.fx normalsampler.fx parallaxmap.fx randtable.fx shadow.fx \
         shadowmapsampler.fx shadowmodsampler.fx sphericallighting.fx; do
  emit zombie "$REPO" "$COMMIT" "$D/$p"
done

# digitalrune: DigitalRune Engine's XNA content effects (BSD 3-Clause) and its
# samples' effects. Kept as in the repository. The samples include
# "../DigitalRune.Graphics.Content/..." as their build laid the folders out; a
# link Samples/DigitalRune.Graphics.Content to Source/'s stands in for that.
REPO=DigitalRune/DigitalRune
COMMIT=a907452c8922a3360761e0569aa33110b0201b91
emit digitalrune "$REPO" "$COMMIT" Samples/Content/Bubble/Glass.fx
emit digitalrune "$REPO" "$COMMIT" Samples/Content/CloudQuad/Cloud.fx
emit digitalrune "$REPO" "$COMMIT" Samples/Content/DudeRefracted/Refraction.fx
emit digitalrune "$REPO" "$COMMIT" Samples/Content/DudeWithProjectedShadow/ProjectedShadowSkinned.fx
D=Samples/Content
for p in EnvironmentLight.fx FogSphere.fx Intersection.fx VarianceShadowMask.fx VolumetricLight.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
emit digitalrune "$REPO" "$COMMIT" Samples/Content/Fur/Fur.fx
emit digitalrune "$REPO" "$COMMIT" Samples/Content/Fur2/Fur.fx
emit digitalrune "$REPO" "$COMMIT" Samples/Content/GroundReflective/MaterialReflective.fx
emit digitalrune "$REPO" "$COMMIT" Samples/Content/InstancedModel/InstancedModel.fx
emit digitalrune "$REPO" "$COMMIT" Samples/Content/MetalGrateBox/Velocity.fx
D=Samples/Content/Parallax
for p in GBufferPm.fx GBufferPom.fx MaterialPm.fx MaterialPom.fx Parallax.fxh; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Samples/Content/PostProcessing
for p in DistortionFilter.fx Interlace.fx LensDistortion.fx NegativeFilter.fx Vignette.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
emit digitalrune "$REPO" "$COMMIT" Samples/Content/TVBox/EmissiveMaterial.fx
D=Samples/Content/Vegetation
for p in GBufferGrass.fx GBufferVegetation.fx MaterialGrass.fx MaterialVegetation.fx \
         ShadowMapGrass.fx ShadowMapVegetation.fx Vegetation.fxh; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
emit digitalrune "$REPO" "$COMMIT" Samples/Content/Water/Underwater.fx
D=Samples/Content/WeightedBlendedOIT
for p in ForwardWBOIT.fx WeightedBlendedOIT.fx ZOnly.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Source/DigitalRune.Graphics.Content/DigitalRune
for p in Atmosphere.fxh Billboard.fx Color.fxh Common.fxh Decal.fxh Deferred.fxh Encoding.fxh \
         Fog.fxh Fxaa3_11.fxh Lighting.fxh Line.fx Material.fxh Noise.fxh OcclusionCulling.fx \
         Optimization.fxh PerlinNoise.fxh SMAA.fxh ShadowMap.fxh SpriteEffect.fx Tonemapping.fxh; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Source/DigitalRune.Graphics.Content/DigitalRune/Decals
for p in GBuffer.fx GBufferAlphaTest.fx GBufferAlphaTestNormal.fx GBufferNormal.fx Material.fx \
         MaterialAlphaTest.fx MaterialAlphaTestEmissive.fx MaterialEmissive.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Source/DigitalRune.Graphics.Content/DigitalRune/Deferred
for p in AmbientLight.fx CascadedShadowMask.fx ClearGBuffer.fx CubeMapShadowMask.fx \
         DirectionalLight.fx Fog.fx ImageBasedLight.fx PointLight.fx ProjectorLight.fx \
         RebuildZBuffer.fx Spotlight.fx StandardShadowMask.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Source/DigitalRune.Graphics.Content/DigitalRune/Materials
for p in Forward.fx ForwardEnv.fx ForwardMorphSkinned.fx ForwardTwoSided.fx GBuffer.fx \
         GBufferAlphaTest.fx GBufferAlphaTestNormal.fx GBufferMorphNormalSkinned.fx \
         GBufferMorphSkinned.fx GBufferNormal.fx GBufferNormalSkinned.fx \
         GBufferNormalTransparent.fx GBufferSkinned.fx GBufferTransparent.fx Matcap.fx \
         MatcapNormal.fx MatcapNormalSkinned.fx MatcapSkinned.fx Material.fx MaterialAlphaTest.fx \
         MaterialAlphaTestEmissive.fx MaterialEmissive.fx MaterialEmissiveSkinned.fx \
         MaterialMorphSkinned.fx MaterialSkinned.fx MaterialTransparent.fx Occluder.fx \
         OccluderSkinned.fx ShadowMap.fx ShadowMapAlphaTest.fx ShadowMapAlphaTestSkinned.fx \
         ShadowMapMorphSkinned.fx ShadowMapSkinned.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Source/DigitalRune.Graphics.Content/DigitalRune/PostProcessing
for p in BloomFilter.fx Blur.fx CameraMotionBlur.fx CieSkyFilter.fx ColorCorrectionFilter.fx \
         ColorEncoder.fx CopyFilter.fx DepthOfFieldFilter.fx DownsampleFilter.fx EdgeFilter.fx \
         FxaaFilter.fx GodRayFilter.fx GrainFilter.fx HdrFilter.fx HorizontalBlur.fx KawaseBlur.fx \
         LuminanceFilter.fx MadFilter.fx NormalMapDistortionFilter.fx ObjectMotionBlur.fx \
         RadialBlur.fx SaoFilter.fx SaturationFilter.fx SepiaFilter.fx SharpeningFilter.fx \
         SimpleMotionBlur.fx SmaaFilter.fx SsaoFilter.fx UnsharpMaskingFilter.fx UpsampleFilter.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Source/DigitalRune.Graphics.Content/DigitalRune/Sky
for p in CloudLayer.fx GradientSky.fx GradientTextureSky.fx ScatteringSky.fx SkyObject.fx \
         Skybox.fx Starfield.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Source/DigitalRune.Graphics.Content/DigitalRune/Terrain
for p in Terrain.fxh TerrainClearLayer.fx TerrainDecalLayer.fx TerrainGBuffer.fx \
         TerrainGBufferHoles.fx TerrainGBufferHolesPom.fx TerrainGBufferPom.fx \
         TerrainGeometryLayer.fx TerrainHoleLayer.fx TerrainMaterial.fx TerrainMaterialHoles.fx \
         TerrainMaterialHolesPom.fx TerrainMaterialLayer.fx TerrainMaterialPom.fx \
         TerrainRoadLayer.fx TerrainShadowMap.fx TerrainShadowMapHoles.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done
D=Source/DigitalRune.Graphics.Content/DigitalRune/Water
for p in Ocean.fx Water.fx; do
  emit digitalrune "$REPO" "$COMMIT" "$D/$p"
done

# isles: the effects of an XNA-era real-time strategy game (MIT). Kept below
# src/isles/.
REPO=yufeih/isles
COMMIT=41004d603a2852e59a773f231639245dbebd09b4
D=src/isles/shaders
for p in Billboard.fx BloomCombine.fx BloomExtract.fx GaussianBlur.fx Graphics2D.fx Model.fx \
         ParticleEffect.fx ShadowMap.fx Surface.fx Terrain.fx Water.fx; do
  emit isles "$REPO" "$COMMIT" "$D/$p"
done

# purplesharp: effects of a Managed DirectX example game in an aspect-oriented
# programming research project (licence in its LICENSE file); they compile
# shaders with uniform arguments. Kept below StarLight/Examples/. They include
# <structs.fx> and the like from Effect/Library through the game's include
# handler; links to those files beside each includer stand in for it.
REPO=composestar/composestar
COMMIT=5f7bd56506b5a900147485ab45d43731bf78bee4
D=StarLight/Examples/PurpleSharp/Base/Graphics/Effect/Library
for p in ffshaders.fx quake.fx renderDepth.fx shaders.fx structs.fx tex.fx; do
  emit purplesharp "$REPO" "$COMMIT" "$D/$p"
done
D=StarLight/Examples/PurpleSharp/Base/Graphics/Lighting
for p in StencilShadow.fx temp.fx; do
  emit purplesharp "$REPO" "$COMMIT" "$D/$p"
done
D=StarLight/Examples/PurpleSharp/Base/Graphics/Particles
for p in LineParticle.fx Particle.fx Particle2d.fx; do
  emit purplesharp "$REPO" "$COMMIT" "$D/$p"
done
emit purplesharp "$REPO" "$COMMIT" StarLight/Examples/PurpleSharp/Base/Graphics/TwoD/2d.fx

# rendermonkey-tut: a Korean shader tutorial's effects, most exported from
# RenderMonkey (LGPL-2.1). Kept as in the repository.
REPO=tdm1223/Shader
COMMIT=1c4b8dfddc94e4da6d925d4d38e52dc099ec7761
D=ColorConversion
for p in EnvironmentMapping.fx GrayScale.fx NoEffect.fx Sepia.fx; do
  emit rendermonkey-tut "$REPO" "$COMMIT" "$D/$p"
done
emit rendermonkey-tut "$REPO" "$COMMIT" ColorShader/ColorShader.fx
D=EdgeDetection
for p in EdgeDetection.fx Emboss.fx EnvironmentMapping.fx GrayScale.fx Laplacian.fx NoEffect.fx \
         Sepia.fx; do
  emit rendermonkey-tut "$REPO" "$COMMIT" "$D/$p"
done
emit rendermonkey-tut "$REPO" "$COMMIT" EnvironmentMapping/EnvironmentMapping.fx
emit rendermonkey-tut "$REPO" "$COMMIT" Lighting/Lighting.fx
emit rendermonkey-tut "$REPO" "$COMMIT" NormalMapping/NormalMapping.fx
emit rendermonkey-tut "$REPO" "$COMMIT" ParallaxMapping/NormalMapping.fx
D=ShadowMapping
for p in ApplyDisc.fx ApplyShadow.fx CreateShadow.fx; do
  emit rendermonkey-tut "$REPO" "$COMMIT" "$D/$p"
done
D=SpecularMapping
for p in DiffuseMapping.fx SpecularMapping.fx; do
  emit rendermonkey-tut "$REPO" "$COMMIT" "$D/$p"
done
emit rendermonkey-tut "$REPO" "$COMMIT" TextureMapping/TextureMapping.fx
emit rendermonkey-tut "$REPO" "$COMMIT" ToonShader/ToonShader.fx
emit rendermonkey-tut "$REPO" "$COMMIT" UVAnimation/UVAnimation.fx

# marienb: an ENB preset's Direct3D 9 effects for three games, one branch each
# (GPL-3.0-or-later per file). Kept below CORPUS/marienb/<branch>/. The
# enbeffect*.fx files include the menb*.fx parts.
REPO=OrdinaryMagician/MariENB
# branch twopoint-skyrim
COMMIT=68bbc4104c3f53e6edc28198b8566dab55b868e6
D=enbseries
for p in enbbloom.fx enbdepthoffield.fx enbeffect.fx enbeffectprepass.fx enblens.fx \
         enbsunsprite.fx menbbloomfilters.fx menbbloominternals.fx menbbloomsettings.fx \
         menbdepthoffieldfilters.fx menbdepthoffieldinternals.fx menbdepthoffieldsettings.fx \
         menbeffectfilters.fx menbeffectinternals.fx menbeffectsettings.fx menbextrafilters.fx \
         menbextrainternals.fx menbextrasettings.fx menbglobaldefs.fx menbprepassfilters.fx \
         menbprepassinternals.fx menbprepasssettings.fx; do
  emit marienb "$REPO" "$COMMIT" "$D/$p"
done
# branch twopoint-fnv
COMMIT=1572f004724726ad4767774656453a76caddead9
D=enbseries
for p in enbbloom.fx enbeffect.fx enbeffectprepass.fx enblens.fx enbsunsprite.fx \
         menbbloomfilters.fx menbbloominternals.fx menbbloomsettings.fx menbeffectfilters.fx \
         menbeffectinternals.fx menbeffectsettings.fx menbextrafilters.fx menbextrainternals.fx \
         menbextrasettings.fx menbglobaldefs.fx menbprepassfilters.fx menbprepassinternals.fx \
         menbprepasssettings.fx; do
  emit marienb "$REPO" "$COMMIT" "$D/$p"
done
# branch legacy
COMMIT=4a3538f6cc70f8d988d7794c70dab825ff2cfa85
D=enbseries
for p in enbbloom.fx enbeffect.fx enbeffectprepass.fx enblens.fx enbsunsprite.fx \
         menbbloomfilters.fx menbbloominternals.fx menbbloomsettings.fx menbdrawutil.fx \
         menbeffectfilters.fx menbeffectinternals.fx menbeffectsettings.fx menbextrafilters.fx \
         menbextrainternals.fx menbextrasettings.fx menbprepassfilters.fx menbprepassinternals.fx \
         menbprepasssettings.fx; do
  emit marienb "$REPO" "$COMMIT" "$D/$p"
done

# mta-trucker: shaders of a Multi Theft Auto (GTA San Andreas) game mode (no
# licence stated); most include "mta-helper.fx". Kept as in the repository.
REPO=vokulakov/trucker-mod-mta
COMMIT=e5d06294fe4343d21041901840fa2a9de5790673
D='[assets]/tmtaShaders/shaders'
for p in blur.fx damage.fx mask3d.fx mta-helper.fx tex_matrix.fx texreplace.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
D='[gameplay]/[vehicle]/tmtaVehicleNos/assets/shaders'
for p in deletenitro.fx deletenitro_2.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
D='[gameplay]/[vehicle]/tmtaVehiclePaints/assets/fx/chameleon'
for p in chameleo.fx mta-helper.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
D='[gameplay]/[vehicle]/tmtaVehiclePaints/assets/fx/chrome'
for p in car_paint.fx mta-helper.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
D='[gameplay]/[vehicle]/tmtaVehiclePaints/assets/fx/gloss'
for p in car_paint.fx mta-helper.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
D='[gameplay]/[vehicle]/tmtaVehiclePaints/assets/fx/matte'
for p in matte.fx mta-helper.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
D='[gameplay]/[vehicle]/tmtaVehicleToner/assets/shader'
for p in mta-helper.fx texreplace.fx windows.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
D='[gameplay]/[vehicle]/tmtaVehicleTurnlights/files'
for p in mta-helper.fx shader.fx shader2.fx shader3.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
emit mta-trucker "$REPO" "$COMMIT" '[gameplay]/[vehicle]/tmtaVehicleWheel/mta-helper.fx'
D='[graphics]/tmtaShaderSkybox/fx'
for p in shader_clear.fx skydome.fx transform.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
emit mta-trucker "$REPO" "$COMMIT" '[graphics]/tmtaShaderWater/fx/tex_water.fx'
D='[misc]/arst_otrheni/file'
for p in car_paint.fx carbon.fx fara.fx mta-helper.fx windows.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
emit mta-trucker "$REPO" "$COMMIT" '[misc]/dynamic_object_shader/dos.fx'
D='[misc]/nrp_shaders/fx'
for p in car_refgene.fx car_refgrun.fx detail.fx lut.fx mta-helper.fx radial_blur.fx ssao.fx \
         tex_water.fx water.fx water_rt.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done
D='[misc]/nrp_shaders/fx/sun'
for p in bw.fx godRayBase.fx godrays.fx lensflares.fx sun.fx; do
  emit mta-trucker "$REPO" "$COMMIT" "$D/$p"
done

# mta-vcs: shaders of a Multi Theft Auto conversion (no licence stated):
# deferred lighting, sky, water, a debug gallery. Kept below
# mods/deathmatch/resources/.
REPO=gta191977649/MTA-VCS
COMMIT=c519405db132c676019296fe0f263db1ff42d7bb
D='mods/deathmatch/resources/[MTA-Stream]/streamer/client'
for p in WindowHandler_C.fx mta-helper.fx nightobject.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[debug]/debug/fx'
for p in blobs.fx blobsMod.fx colCircle.fx colDonut.fx colFractals.fx colNeckl.fx colorDrops.fx \
         coolWaves.fx energyField.fx grayWaves.fx greenCircle.fx gridWalk.fx hypnoCircles.fx \
         hypnoWheel.fx merryXMass.fx mixPaint.fx mouseVioletCircle.fx noise.fx purpleSine.fx \
         redFlower.fx redPlanet.fx screenFlare.fx sineColors.fx sineWeb.fx spin.fx spinNeckl.fx \
         spinx.fx starTravel.fx tex_names.fx tunnel.fx verticalStrobes.fx violetExplosion.fx \
         warpedSiveWave.fx weirdFlower.fx whiteCircles.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[debug]/debug'
for p in mta-helper.fx shader.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
emit mta-vcs "$REPO" "$COMMIT" 'mods/deathmatch/resources/[debug]/txdname/tex_names.fx'
D='mods/deathmatch/resources/[graphic]/bloom/fx'
for p in addBlend.fx mta-helper.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[graphic]/custom_coronas/shaders'
for p in custom_corona0.fx custom_corona1.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
emit mta-vcs "$REPO" "$COMMIT" 'mods/deathmatch/resources/[graphic]/fx/texreplace.fx'
D='mods/deathmatch/resources/[graphic]/ps2/fx'
for p in addBlend.fx blurH.fx blurV.fx brightPass.fx building_vcs.fx bw.fx car_Diffuse.fx \
         car_refgene.fx car_refgrun.fx colors.fx dynamiclight.fx esotropiaH.fx esotropiaV.fx \
         godRayBase.fx godrays.fx lensflares.fx mta-helper.fx replace.fx sun.fx vehicle.fx \
         wetroad.fx wetroad_mask.fx worldDiffuse.fx worldDiffuse_old.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
emit mta-vcs "$REPO" "$COMMIT" 'mods/deathmatch/resources/[graphic]/ps2/rotor/rotor.fx'
D='mods/deathmatch/resources/[graphic]/skygfx'
for p in addBlend.fx radiosity.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
emit mta-vcs "$REPO" "$COMMIT" 'mods/deathmatch/resources/[graphic]/skygfx/fx/rotor/rotor.fx'
D='mods/deathmatch/resources/[graphic]/skygfx/shader'
for p in addblend.fx blurH.fx blurPS.fx blurV.fx brightPass.fx buildingSimplePS.fx \
         buildingSimplePSDual.fx colorFilterPS.fx envCarPS.fx gradingPS.fx grass.fx mta-helper.fx \
         ps2BuildingFxVS.fx ps2BuildingVS.fx ps2BuildingVSDual.fx ps2CarFxVS.fx ps2CarFxVSPS.fx \
         ps2CarFxVSPSEnv.fx ps2ColorBlend.fx radiosity.fx replace.fx simplePS.fx \
         simpleStochasticPS.fx sun.fx ztest.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[hud]/hud/shader'
for p in texreplace.fx texture.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[model]/model/shader'
for p in mta-helper.fx replace.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[shader]/dl_core/fx'
for p in RTOutput_addBlend.fx RTOutput_blurH.fx RTOutput_blurV.fx RTOutput_brightPass.fx \
         RTinput_car_paint.fx RTinput_car_paint_texReplace.fx RTinput_grass.fx RTinput_ped.fx \
         RTinput_ped_noVS.fx RTinput_ped_normal.fx RTinput_ped_texReplace.fx RTinput_water.fx \
         RTinput_water_detail.fx RTinput_world.fx RTinput_world_emissive.fx \
         RTinput_world_emissiveAdd.fx RTinput_world_noZWrite.fx RTinput_world_normal.fx \
         RTinput_world_refAnim.fx RTinput_world_texReplace.fx RTinput_world_vcs.fx mta-helper.fx \
         primitive2D_fixZBuffer.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[shader]/dl_lightmanager/fx'
for p in primitive3D_pointLight.fx primitive3D_pointLight_normalGen.fx primitive3D_spotLight.fx \
         primitive3D_spotLight_normalGen.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[shader]/dl_neon/fx'
for p in primitive2D_fixZBuffer.fx primitive3D_projectedTexture2vec.fx \
         primitive3D_projectedTexture2vec_dl.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
emit mta-vcs "$REPO" "$COMMIT" 'mods/deathmatch/resources/[shader]/dl_vehicle/shaders/null.fx'
D='mods/deathmatch/resources/[shader]/timedobj'
for p in mta-helper.fx nightobject.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[vcs]/txd'
for p in mta-helper.fx replace.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
emit mta-vcs "$REPO" "$COMMIT" 'mods/deathmatch/resources/[vcs]/water/fx/water.fx'
D='mods/deathmatch/resources/[vcs]/ycg'
for p in mta-helper.fx ycg.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[vendor]/dgs/plugin/ColorPicker'
for p in ALPComponent.fx HLDisk.fx HSDisk.fx HSLComponent.fx HSLSquare.fx HSVComponent.fx \
         HSVRing.fx HSVRingSel.fx PickCircle.fx RGBComponent.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
D='mods/deathmatch/resources/[vendor]/dgs/plugin/mask'
for p in mask-BackGroundFilter.fx mask-Circle.fx mask-ColorInverter.fx maskTexture.fx; do
  emit mta-vcs "$REPO" "$COMMIT" "$D/$p"
done
emit mta-vcs "$REPO" "$COMMIT" 'mods/deathmatch/resources/[vendor]/dgs/styleManager/Default/Images/combobox/arrow.fx'
